#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite headless: one virtual X
# server with Mesa's software OpenGL for everything that opens a window, and SDL's disk
# audio driver for everything that opens the audio device. The unit tests then run a second
# time in a build with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh

scripts/build.sh
export SDL_AUDIODRIVER=disk
export SDL_DISKAUDIOFILE=/dev/null
export LIBGL_ALWAYS_SOFTWARE=1
(cd build && xvfb-run -a -s "-screen 0 1920x1080x24" \
  ctest --output-on-failure --timeout 300 -j2)

BUILD_DIR=build-sanitize BUILD_TARGET=unit_tests scripts/build.sh -DDEMO_SANITIZE=ON -DDEMO_BUILD_BENCH=OFF
(cd build-sanitize && ctest --output-on-failure --timeout 600 -L unit -j2)
