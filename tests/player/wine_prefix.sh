#!/bin/sh
# Makes a fresh Wine prefix in $1 for the Windows player's runs, without the Mono and Gecko
# installers (the player needs neither), and waits until Wine's server has ended.
set -e
rm -rf "$1"
export WINEPREFIX="$1" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
/usr/lib/wine/wine64 wineboot --init
/usr/lib/wine/wineserver -w
test -f "$1/system.reg"
