#!/usr/bin/env bash
# Configures and builds the project into build/ (or the folder given as $BUILD_DIR). A new
# build folder is configured for Ninja; one configured before keeps its generator.
# $BUILD_TARGET names the targets to build (space-separated; default: all).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
GENERATOR=()
if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
  GENERATOR=(-G Ninja)
fi
cmake -S . -B "$BUILD_DIR" "${GENERATOR[@]}" -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} "$@" >/dev/null
# shellcheck disable=SC2086 # several targets may be named
cmake --build "$BUILD_DIR" -j"$(nproc)" --target ${BUILD_TARGET:-all}
