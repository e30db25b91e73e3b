#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the example demo need.
# Idempotent: packages already present are left alone, and apt-get runs only
# when something is missing.
#
#   scripts/setup-deps.sh            the native build
#   scripts/setup-deps.sh portable   also what the self-contained players and their checks need:
#                                    the mingw-w64 cross compiler, Wine, bubblewrap, the headers
#                                    of what SDL loads at run time, and a deb-src entry so that
#                                    apt-get source reaches Debian's source packages
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
PORTABLE_PACKAGES=(
  dpkg-dev g++-mingw-w64-x86-64-posix wine64 bubblewrap x11-apps
  libx11-dev libxext-dev libxcursor-dev libxi-dev libxfixes-dev libxrandr-dev libxss-dev
  libwayland-dev libwayland-bin libxkbcommon-dev libdecor-0-dev libegl-dev libgl-dev
  libasound2-dev libpulse-dev libpipewire-0.3-dev
)
if [ "${1:-}" = portable ]; then
  PACKAGES+=("${PORTABLE_PACKAGES[@]}")
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi

# Debian's source packages, from the suites this machine installs from.
SOURCES_ENTRY=/etc/apt/sources.list.d/demoplayer-deb-src.sources
added_sources=0
if [ "${1:-}" = portable ] && [ ! -f "$SOURCES_ENTRY" ]; then
  codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
  printf '%s\n' "Types: deb-src" "URIs: http://deb.debian.org/debian" \
    "Suites: $codename $codename-updates" "Components: main" \
    "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" |
    $SUDO tee "$SOURCES_ENTRY" >/dev/null
  added_sources=1
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

export DEBIAN_FRONTEND=noninteractive
if [ ${#missing[@]} -eq 0 ]; then
  if [ "$added_sources" = 1 ]; then
    $SUDO apt-get update -qq
  fi
  exit 0
fi

echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
