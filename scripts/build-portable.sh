#!/usr/bin/env bash
# Builds the self-contained players beside demotool, with everything they need:
#
#   scripts/build-portable.sh     # build/demoplayer-linux and build/demoplayer-windows.exe
#
# Installs the cross compiler and the headers (scripts/setup-deps.sh portable), builds the
# libraries from Debian's source packages into the cache outside the repository
# (scripts/portable-deps.sh: minutes the first time, seconds after), then runs the whole
# build (scripts/build.sh), which builds both players once their libraries are cached. Then:
#
#   build/demotool pack PROJECT.json -o demo --target linux     # for any Linux desktop
#   build/demotool pack PROJECT.json -o demo --target windows   # writes demo.exe
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh portable
scripts/portable-deps.sh linux windows
scripts/build.sh "$@"
