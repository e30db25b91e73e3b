#!/usr/bin/env bash
# Builds the static libraries the self-contained players link, from Debian's own source
# packages, into a cache outside the repository:
#
#   scripts/portable-deps.sh linux windows     # both; prints nothing else when they are cached
#
# Each target's libraries go to $CACHE/<target>-<key>, where the key is a digest of the source
# package versions, the compiler and this script: a new Debian point release or a change of the
# options below builds afresh, anything else finds the cache and returns in seconds. The prefix
# in use is named by $CACHE/<target>.prefix, which the CMake build reads.
#
# $CACHE is $DEMO_DEPS_CACHE, or else ~/.cache/demoplayer-deps ($XDG_CACHE_HOME when set).
# Needs the packages of `scripts/setup-deps.sh portable` (which adds the deb-src entry).
#
# Every library is built with what the player uses and nothing else, and for size (-Os) where
# the player spends little of its time in it:
#   zlib         static, -O2 (FreeType's WOFF fonts)
#   FreeType     -Os; the TrueType and CFF (OpenType) drivers, the auto-hinter and the
#                anti-aliased renderer; zlib, but no bzip2, PNG, HarfBuzz or Brotli
#   SDL2         -Os; no joystick, haptic, sensor, HID, power or 2D renderer; on Linux X11,
#                Wayland (with libdecor), PipeWire, PulseAudio and ALSA, each opened at run
#                time as SDL does by default, no D-Bus, IBus, udev, KMS/DRM, JACK, sndio or
#                OSS; on Windows its own drivers (WASAPI, DirectSound, WinMM); the disk and
#                dummy audio drivers everywhere
#   SDL2_mixer   -O2; its built-in decoders only: WAV, Ogg Vorbis (stb_vorbis), MP3 (dr_mp3),
#                FLAC (dr_flac); no MOD, MIDI, Opus or external codec library
#   SDL2_image   -O2; stb_image for PNG and JPEG, and the formats it decodes itself (BMP, GIF,
#                TGA, QOI, PNM, PCX, LBM, XCF, XPM, XV); no libtiff, libwebp, libavif, libjxl
#                or SVG, and no image saving
#   SDL2_ttf     -Os; FreeType, no HarfBuzz
#   GLEW         -Os; glew.c alone, static, without GLU
#   KISS FFT     -O2 (and its own -ffast-math); float, static, no tools or tests
# tinygltf, stb, glm and nlohmann json are header-only: their Debian -dev headers are linked
# into the prefix, so a cross compiler never sees the rest of /usr/include.
set -euo pipefail
REPO=$(cd "$(dirname "$0")/.." && pwd)
SELF="$REPO/scripts/portable-deps.sh"
TOOLCHAIN="$REPO/cmake/mingw-w64-x86_64.cmake"
CACHE=${DEMO_DEPS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/demoplayer-deps}
JOBS=${JOBS:-2}
SOURCES=(zlib freetype libsdl2 libsdl2-mixer libsdl2-ttf libsdl2-image glew kissfft)

if [ $# -eq 0 ]; then
  echo "usage: scripts/portable-deps.sh linux|windows..." >&2
  exit 2
fi
for target in "$@"; do
  case "$target" in
    linux | windows) ;;
    *) echo "portable-deps: unknown target '$target' (linux or windows)" >&2; exit 2 ;;
  esac
done
mkdir -p "$CACHE/sources"

# The version apt-get source would fetch for each package, one "name version" line each.
source_versions() {
  local uris name version
  uris=$(apt-get source -qq --print-uris "${SOURCES[@]}" 2>/dev/null || true)
  for name in "${SOURCES[@]}"; do
    version=$(sed -nE "s/^'[^']*' ${name}_([^ ]*)\.dsc .*/\1/p" <<<"$uris" | head -n1)
    if [ -z "$version" ]; then
      echo "portable-deps: apt-get source finds no '$name': is there a deb-src entry?" \
        "(scripts/setup-deps.sh portable adds one)" >&2
      exit 1
    fi
    echo "$name $version"
  done
}

# Unpacks the source package NAME at VERSION once into $CACHE/sources, and prints its folder.
fetch_source() {
  local name=$1 version=$2 folder="$CACHE/sources/${1}_${2}"
  if [ ! -f "$folder/.unpacked" ]; then
    local scratch
    scratch=$(mktemp -d "$CACHE/sources/fetch.XXXXXX")
    # apt's download user needs to write there when the cache belongs to root.
    chmod 755 "$scratch"
    (cd "$scratch" && apt-get source -qq "$name" >fetch.log 2>&1) ||
      { cat "$scratch/fetch.log" >&2; rm -rf "$scratch"; exit 1; }
    rm -rf "$folder"
    mv "$(find "$scratch" -mindepth 1 -maxdepth 1 -type d | head -n1)" "$folder"
    rm -rf "$scratch"
    touch "$folder/.unpacked"
  fi
  echo "$folder"
}

# Configures, builds and installs one CMake project of the sources into $PREFIX.
cmake_install() {
  local source=$1 build=$2
  shift 2
  cmake -S "$source" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$PREFIX" -DCMAKE_PREFIX_PATH="$PREFIX" -DBUILD_SHARED_LIBS=OFF \
    -DCMAKE_C_FLAGS="${OPT:--O2} $CFLAGS" -DCMAKE_C_FLAGS_RELEASE=-DNDEBUG "${TARGET_ARGS[@]}" \
    "$@" >"$build.configure.log" 2>&1 ||
    { tail -n 40 "$build.configure.log" >&2; exit 1; }
  cmake --build "$build" -j"$JOBS" >"$build.build.log" 2>&1 ||
    { grep -m5 -B2 -A5 'error' "$build.build.log" >&2 || tail -n 40 "$build.build.log" >&2; exit 1; }
  cmake --install "$build" >/dev/null
}

# Compiles the C files given into the static library $PREFIX/lib/NAME.
archive() {
  local name=$1 objects=$2
  shift 2
  mkdir -p "$objects" "$PREFIX/lib"
  local file
  for file in "$@"; do
    "$CC" ${OPT:--O2} $CFLAGS -c "$file" -o "$objects/$(basename "$file" .c).o"
  done
  "$AR" rcs "$PREFIX/lib/$name" "$objects"/*.o
}

build_target() {
  local target=$1 versions=$2
  case "$target" in
    linux)
      CC=gcc AR=ar
      TARGET_ARGS=()
      ;;
    windows)
      CC=x86_64-w64-mingw32-gcc-posix AR=x86_64-w64-mingw32-ar
      TARGET_ARGS=(-DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_FIND_ROOT_PATH="$PREFIX")
      ;;
  esac
  CFLAGS="-ffunction-sections -fdata-sections"
  local work="$CACHE/work-$target"
  rm -rf "$work" "$PREFIX"
  mkdir -p "$work" "$PREFIX/include"
  local -A src
  local name version
  while read -r name version; do
    src[$name]=$(fetch_source "$name" "$version")
  done <<<"$versions"

  echo "portable-deps: $target: zlib (at ${SECONDS} s)"
  # Debian's zlib source leaves out the Windows files its CMake build lists: the library is
  # its C files, compiled as its own configure script would.
  cp "${src[zlib]}"/zlib.h "${src[zlib]}"/zconf.h "$PREFIX/include/"
  local zlib_defines=""
  [ "$target" = linux ] && zlib_defines="-DHAVE_UNISTD_H -DHAVE_STDARG_H"
  CFLAGS="$CFLAGS $zlib_defines" archive libz.a "$work/zlib" \
    "${src[zlib]}"/{adler32,compress,crc32,deflate,gzclose,gzlib,gzread,gzwrite,infback}.c \
    "${src[zlib]}"/{inffast,inflate,inftrees,trees,uncompr,zutil}.c

  echo "portable-deps: $target: FreeType (at ${SECONDS} s)"
  # The drivers of TrueType and OpenType fonts (whose CFF outlines psaux hints), the
  # auto-hinter for fonts without hints, and the anti-aliased renderer.
  cp -a "${src[freetype]}" "$work/freetype-src"
  printf 'FT_USE_MODULE( %s )\n' "FT_Module_Class, autofit_module_class" \
    "FT_Driver_ClassRec, tt_driver_class" "FT_Driver_ClassRec, cff_driver_class" \
    "FT_Module_Class, psaux_module_class" "FT_Module_Class, psnames_module_class" \
    "FT_Module_Class, sfnt_module_class" \
    "FT_Renderer_Class, ft_smooth_renderer_class" \
    >"$work/freetype-src/include/freetype/config/ftmodule.h"
  OPT=-Os cmake_install "$work/freetype-src" "$work/freetype" -DFT_REQUIRE_ZLIB=ON \
    -DZLIB_LIBRARY="$PREFIX/lib/libz.a" -DZLIB_INCLUDE_DIR="$PREFIX/include" \
    -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON

  echo "portable-deps: $target: SDL2 (at ${SECONDS} s)"
  local sdl=(-DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL2_DISABLE_SDL2MAIN=ON
    -DSDL_JOYSTICK=OFF -DSDL_HAPTIC=OFF -DSDL_HIDAPI=OFF -DSDL_SENSOR=OFF -DSDL_POWER=OFF
    -DSDL_RENDER=OFF -DSDL_VULKAN=OFF -DSDL_OPENGLES=OFF -DSDL_OFFSCREEN=OFF -DSDL_CCACHE=OFF
    -DSDL_DISKAUDIO=ON -DSDL_DUMMYAUDIO=ON)
  if [ "$target" = linux ]; then
    sdl+=(-DSDL_X11=ON -DSDL_X11_SHARED=ON -DSDL_WAYLAND=ON -DSDL_WAYLAND_SHARED=ON
      -DSDL_WAYLAND_LIBDECOR=ON -DSDL_WAYLAND_LIBDECOR_SHARED=ON -DSDL_WAYLAND_QT_TOUCH=OFF
      -DSDL_PIPEWIRE=ON -DSDL_PIPEWIRE_SHARED=ON -DSDL_PULSEAUDIO=ON -DSDL_PULSEAUDIO_SHARED=ON
      -DSDL_ALSA=ON -DSDL_ALSA_SHARED=ON -DSDL_OSS=OFF -DSDL_JACK=OFF -DSDL_ESD=OFF -DSDL_ARTS=OFF
      -DSDL_NAS=OFF -DSDL_SNDIO=OFF -DSDL_LIBSAMPLERATE=OFF -DSDL_DBUS=OFF -DSDL_IBUS=OFF
      -DSDL_KMSDRM=OFF -DSDL_RPI=OFF -DSDL_VIVANTE=OFF -DSDL_DIRECTFB=OFF -DSDL_RPATH=OFF)
  else
    sdl+=(-DSDL_RENDER_D3D=OFF -DSDL_XINPUT=OFF)
  fi
  OPT=-Os cmake_install "${src[libsdl2]}" "$work/sdl2" "${sdl[@]}"

  echo "portable-deps: $target: SDL2_mixer (at ${SECONDS} s)"
  cmake_install "${src[libsdl2-mixer]}" "$work/sdl2-mixer" -DSDL2MIXER_SAMPLES=OFF \
    -DSDL2MIXER_VENDORED=OFF -DSDL2MIXER_DEPS_SHARED=OFF -DSDL2MIXER_CMD=OFF \
    -DSDL2MIXER_WAVE=ON -DSDL2MIXER_VORBIS=STB -DSDL2MIXER_MP3=ON -DSDL2MIXER_MP3_DRMP3=ON \
    -DSDL2MIXER_MP3_MPG123=OFF -DSDL2MIXER_FLAC=ON -DSDL2MIXER_FLAC_DRFLAC=ON \
    -DSDL2MIXER_FLAC_LIBFLAC=OFF -DSDL2MIXER_MOD=OFF -DSDL2MIXER_MIDI=OFF -DSDL2MIXER_OPUS=OFF

  echo "portable-deps: $target: SDL2_image (at ${SECONDS} s)"
  cmake_install "${src[libsdl2-image]}" "$work/sdl2-image" -DSDL2IMAGE_SAMPLES=OFF \
    -DSDL2IMAGE_VENDORED=OFF -DSDL2IMAGE_DEPS_SHARED=OFF -DSDL2IMAGE_BACKEND_STB=ON \
    -DSDL2IMAGE_BACKEND_WIC=OFF -DSDL2IMAGE_AVIF=OFF -DSDL2IMAGE_JXL=OFF -DSDL2IMAGE_TIF=OFF \
    -DSDL2IMAGE_WEBP=OFF -DSDL2IMAGE_SVG=OFF -DSDL2IMAGE_JPG_SAVE=OFF -DSDL2IMAGE_PNG_SAVE=OFF

  echo "portable-deps: $target: SDL2_ttf (at ${SECONDS} s)"
  OPT=-Os cmake_install "${src[libsdl2-ttf]}" "$work/sdl2-ttf" -DSDL2TTF_SAMPLES=OFF \
    -DSDL2TTF_VENDORED=OFF -DSDL2TTF_HARFBUZZ=OFF

  echo "portable-deps: $target: GLEW (at ${SECONDS} s)"
  cp -a "${src[glew]}/include/GL" "$PREFIX/include/"
  OPT=-Os CFLAGS="$CFLAGS -DGLEW_STATIC -DGLEW_NO_GLU -I${src[glew]}/include" \
    archive libGLEW.a "$work/glew" "${src[glew]}/src/glew.c"

  echo "portable-deps: $target: KISS FFT (at ${SECONDS} s)"
  # Its own build knows install folders on Unix only: they are named.
  cmake_install "${src[kissfft]}" "$work/kissfft" -DKISSFFT_STATIC=ON -DKISSFFT_DATATYPE=float \
    -DCMAKE_INSTALL_INCLUDEDIR=include -DCMAKE_INSTALL_LIBDIR=lib \
    -DKISSFFT_TOOLS=OFF -DKISSFFT_TEST=OFF -DKISSFFT_PKGCONFIG=OFF -DKISSFFT_OPENMP=OFF

  # Header-only libraries: their Debian headers, and nothing else of /usr/include.
  ln -s /usr/include/glm /usr/include/nlohmann /usr/include/tiny_gltf.h \
    /usr/include/stb/stb_image.h /usr/include/stb/stb_image_write.h "$PREFIX/include/"

  echo "$versions" >"$PREFIX/versions.txt"
  rm -rf "$work"
}

versions=$(source_versions)
for target in "$@"; do
  compiler=$(if [ "$target" = windows ]; then x86_64-w64-mingw32-g++-posix --version; else g++ --version; fi | head -n1)
  key=$( (echo "$versions"; echo "$compiler"; cat "$SELF" "$TOOLCHAIN") | sha256sum | cut -c1-16)
  PREFIX="$CACHE/$target-$key"
  if [ ! -f "$PREFIX/.complete" ]; then
    start=$(date +%s)
    build_target "$target" "$versions"
    touch "$PREFIX/.complete"
    echo "portable-deps: $target libraries built in $(($(date +%s) - start)) s into $PREFIX"
    # Earlier builds of this target are of other versions or options.
    find "$CACHE" -mindepth 1 -maxdepth 1 -type d -name "$target-*" ! -path "$PREFIX" \
      -exec rm -rf {} +
  fi
  echo "$PREFIX" >"$CACHE/$target.prefix"
done
