#!/usr/bin/env bash
# Plays the full example N times under a CPU load of its own, not part of CI:
#   scripts/stress-play.sh N [BUILD_DIR]
#
# The load is what `ctest -j2` puts beside the example's playback: one process drawing GL
# tests on the same software renderer, in a loop, and one busy shell on the other core. Each
# run plays a copy of the example packed onto the player with its debug information, in a
# 640x360 virtual screen with the disk audio written to a file, as the test suite does, with
# core dumps on. For every run it prints the exit status and, for a crash, every thread's
# stack from the core and the player's crash.txt. The last line counts the crashes.
set -uo pipefail
cd "$(dirname "$0")/.."
RUNS=${1:?usage: scripts/stress-play.sh N [BUILD_DIR]}
BUILD=$(realpath "${2:-build}")
[ -x "$BUILD/demoplayer" ] && [ -x "$BUILD/demotool" ] && [ -f "$BUILD/example_demo" ] ||
  { echo "build $BUILD first (scripts/build.sh)" >&2; exit 1; }
WORK=$(mktemp -d)
LOAD_PIDS=()
cleanup() {
  for pid in "${LOAD_PIDS[@]}"; do kill -- -"$pid" 2>/dev/null; done
  rm -rf "$WORK"
}
trap cleanup EXIT

"$BUILD/demotool" pack examples/project.json -o "$WORK/example_demo" \
  --player "$BUILD/demoplayer" >/dev/null || exit 1

export SDL_AUDIODRIVER=disk LIBGL_ALWAYS_SOFTWARE=1
# Every run starts from an empty Mesa shader cache, as on a fresh CI machine, and shares it
# with the load, as the tests of one ctest run share theirs.
echo "$WORK/cache0" >"$WORK/cache-dir"
# The load, each part in a process group of its own so that it stops with everything it started.
if [ -x "$BUILD/gl_tests" ]; then
  setsid bash -c "while :; do XDG_CACHE_HOME=\$(cat '$WORK/cache-dir') xvfb-run -a \
    '$BUILD/gl_tests' >/dev/null 2>&1; done" &
  LOAD_PIDS+=($!)
fi
setsid bash -c 'while :; do :; done' &
LOAD_PIDS+=($!)

crashes=0
ulimit -c unlimited
for ((i = 1; i <= RUNS; i++)); do
  run="$WORK/run$i"
  mkdir -p "$run/tmp"
  cp "$WORK/example_demo" "$run/example_demo"
  mkdir -p "$WORK/cache$i"
  echo "$WORK/cache$i" >"$WORK/cache-dir"
  start=$(date +%s)
  (cd "$run" && XDG_CACHE_HOME="$WORK/cache$i" TMPDIR="$run/tmp" SDL_DISKAUDIOFILE="$run/audio.raw" \
    timeout -k 5 240 xvfb-run -a -s "-screen 0 640x360x24" ./example_demo >player.log 2>&1)
  status=$?
  echo "run $i: exit $status after $(($(date +%s) - start)) s"
  core=$(find "$run" -maxdepth 1 -name 'core*' | head -n 1)
  if [ "$status" -ne 0 ] || [ -n "$core" ] || [ -f "$run/crash.txt" ]; then
    crashes=$((crashes + 1))
    tail -n 20 "$run/player.log" | sed 's/^/  log: /'
    [ -f "$run/crash.txt" ] && sed 's/^/  crash.txt: /' "$run/crash.txt"
    if [ -n "$core" ]; then
      gdb -batch -ex "thread apply all bt" "$run/example_demo" "$core" 2>/dev/null |
        sed 's/^/  /'
      mkdir -p "$BUILD/stress-cores"
      mv "$core" "$BUILD/stress-cores/core.run$i.$$"
      cp "$run/example_demo" "$BUILD/stress-cores/example_demo.$$"
    fi
  fi
  rm -rf "$run" "$WORK/cache$((i - 1))"
done
echo "$crashes crashes in $RUNS runs"
[ "$crashes" -eq 0 ]
