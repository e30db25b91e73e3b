#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the example demo need.
# Idempotent: packages already present are left alone, and apt-get runs only
# when something is missing.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config ninja-build clang libclang-rt-14-dev llvm
  libsdl2-dev libsdl2-mixer-dev libsdl2-ttf-dev libsdl2-image-dev
  libglew-dev libglm-dev libtinygltf-dev nlohmann-json3-dev libstb-dev
  libkissfft-dev
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev
  libgtest-dev libgmock-dev libbenchmark-dev libsnappy-dev liblz4-dev
  xvfb xauth x11-utils libgl1-mesa-dri mesa-utils
  sox fonts-dejavu-core
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
