#!/usr/bin/env bash
# Runs the libFuzzer targets of a fuzz build (clang, -DDEMO_BUILD_FUZZ=ON).
#
#   scripts/fuzz.sh replay [BUILD_DIR]          every target over its corpus and past findings,
#                                               once each: what CI runs, in seconds
#   scripts/fuzz.sh run TARGET RUNS [BUILD_DIR] one campaign of RUNS executions; new inputs go
#                                               to a scratch corpus, findings to fuzz/corpus/TARGET
#
# Every executable BUILD_DIR/<name>_fuzz is a target; its corpus is fuzz/corpus/<name>/.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-replay}
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

case "$mode" in
  replay)
    build=${2:-build-sanitize}
    shopt -s nullglob
    targets=("$build"/*_fuzz)
    if [ ${#targets[@]} -eq 0 ]; then
      echo "no fuzz targets in $build" >&2
      exit 1
    fi
    for target in "${targets[@]}"; do
      name=$(basename "$target" _fuzz)
      corpus=$PWD/fuzz/corpus/$name
      if [ ! -d "$corpus" ]; then
        # A target added without its seeds yet still runs once, on the empty input.
        echo "$name: no corpus in fuzz/corpus/$name yet" >&2
        corpus=$(mktemp -d)
      fi
      count=$(find "$corpus" -type f | wc -l)
      "$target" -runs=0 "$corpus" > "$build/$name.replay.log" 2>&1 ||
        { cat "$build/$name.replay.log"; echo "$name: FAILED on its corpus" >&2; exit 1; }
      echo "$name: replayed $count inputs"
    done
    ;;
  run)
    name=${2:?target name, e.g. package_reader}
    runs=${3:?number of executions}
    build=${4:-build-sanitize}
    scratch=$PWD/$build/fuzz-corpus/$name
    mkdir -p "$scratch"
    # New findings land beside the seeds, where replay picks them up.
    "$build/${name}_fuzz" -runs="$runs" -max_len=65536 -rss_limit_mb=2560 -timeout=30 \
      -print_final_stats=1 -artifact_prefix="$PWD/fuzz/corpus/$name/finding-" \
      "$scratch" "$PWD/fuzz/corpus/$name"
    ;;
  *)
    echo "usage: scripts/fuzz.sh replay [BUILD_DIR] | run TARGET RUNS [BUILD_DIR]" >&2
    exit 2
    ;;
esac
