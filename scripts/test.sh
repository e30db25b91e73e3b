#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite headless: one virtual X
# server with Mesa's software OpenGL for everything that opens a window, and SDL's disk
# audio driver for everything that opens the audio device. The self-contained Linux and Windows
# players are built too (their libraries from Debian's source packages, cached outside the
# repository by scripts/portable-deps.sh) and run where they are meant to: the Linux player in a
# sandbox without this machine's libraries, the Windows player under Wine. Then:
#   - the whole suite again, built with clang's AddressSanitizer and UndefinedBehaviorSanitizer
#     (float-to-integer overflow included), and every fuzz target replayed over its corpus;
#   - the tests that touch the audio thread, and one playback of the whole example, built with
#     ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh portable
scripts/portable-deps.sh linux windows

export SDL_AUDIODRIVER=disk
export SDL_DISKAUDIOFILE=/dev/null
export LIBGL_ALWAYS_SOFTWARE=1
XVFB=(xvfb-run -a -s "-screen 0 1920x1080x24")

scripts/build.sh
(cd build && "${XVFB[@]}" ctest --output-on-failure --timeout 300 -j2)

export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
CC=clang CXX=clang++ BUILD_DIR=build-sanitize BUILD_TARGET="all fuzz_targets" scripts/build.sh \
  -DDEMO_SANITIZE=ON -DDEMO_BUILD_FUZZ=ON -DDEMO_BUILD_BENCH=OFF
# Leaks are checked where no OpenGL driver is loaded: Mesa's driver is unloaded at exit and
# leaves 128 bytes that no stack can name, in every program that opened a context.
(cd build-sanitize && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure --timeout 900 -j2 -L unit)
(cd build-sanitize && ASAN_OPTIONS=detect_leaks=0 "${XVFB[@]}" \
  ctest --output-on-failure --timeout 900 -j2 -LE unit)
scripts/fuzz.sh replay build-sanitize

export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
# llvmpipe's own render threads race on their mutexes at context teardown; with them off Mesa
# draws on the calling thread and every report is about this project's threads.
export LP_NUM_THREADS=0
CC=clang CXX=clang++ BUILD_DIR=build-tsan \
  BUILD_TARGET="unit_tests audio_e2e_tests player_e2e_tests demoplayer demotool" scripts/build.sh \
  -DDEMO_TSAN=ON -DDEMO_BUILD_BENCH=OFF
(cd build-tsan && "${XVFB[@]}" ctest --output-on-failure --timeout 600 -j2 \
  -R "AnalysisHandOver|SoundLevel|AudioPlayback|ExampleDemo")
