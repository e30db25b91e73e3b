#!/usr/bin/env bash
# Installs what is missing, builds, and plays the bundled example demo in a window.
# Without a display (a headless machine) it plays under a virtual X server instead, with
# SDL's dummy audio driver when no sound device is configured.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh
scripts/build.sh
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec build/example_demo
fi
echo "No display found: playing under Xvfb."
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
exec xvfb-run -a -s "-screen 0 1920x1080x24" build/example_demo
