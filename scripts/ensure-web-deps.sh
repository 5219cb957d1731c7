#!/usr/bin/env bash
# Installs what the web build needs and builds its libraries once: the WebAssembly compiler and
# a browser for the tests from Debian, the sources of libopenmpt, libjpeg-turbo and SDL2 from
# Debian's source packages, each compiled for wasm32 into build/web-deps/<name>/{include,lib}.
# A library already built (its stamp file present) is kept. Prints how long each step took.
#   scripts/ensure-web-deps.sh [DEPS_DIR]      (default: build/web-deps under the tree)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
deps="${1:-$root/build/web-deps}"
mkdir -p "$deps"
deps="$(cd "$deps" && pwd)"
jobs=${VELLUMITE_JOBS:-2}

step_started=0
step() { step_started=$(date +%s); echo "web deps: $*" >&2; }
step_done() { echo "web deps:   done in $(($(date +%s) - step_started)) s" >&2; }

as_root=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null 2>&1 || { echo "error: need root or sudo to install packages" >&2; exit 1; }
  as_root=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive

# The compiler (with its frozen library cache), the browsers the page tests drive (Firefox on a
# virtual X display: headless, it finds no GL), and dpkg-source for unpacking source packages.
packages=(emscripten chromium firefox-esr xvfb xauth dpkg-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
updated=0
if [ ${#missing[@]} -gt 0 ]; then
  step "installing ${missing[*]}"
  "${as_root[@]}" apt-get update -qq
  updated=1
  "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  step_done
fi

# Source packages: a deb-src entry mirroring every deb entry of the system's lists.
have_sources() {
  grep -rqsE '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/
}
if ! have_sources; then
  step "adding deb-src entries that mirror the deb ones"
  for list in /etc/apt/sources.list.d/*.sources; do
    [ -f "$list" ] || continue
    grep -q '^URIs:.*debian' "$list" || continue
    sed -e 's/^Types: deb$/Types: deb-src/' "$list" |
      "${as_root[@]}" tee "/etc/apt/sources.list.d/vellumite-src-$(basename "$list")" >/dev/null
  done
  if [ -f /etc/apt/sources.list ] && grep -q '^deb ' /etc/apt/sources.list; then
    sed -n -e 's/^deb /deb-src /p' /etc/apt/sources.list |
      "${as_root[@]}" tee /etc/apt/sources.list.d/vellumite-src.list >/dev/null
  fi
  updated=0
  step_done
fi

# Debian's source packages, fetched and unpacked once (the folder names carry the versions).
mkdir -p "$deps/src"
source_dir() { find "$deps/src" -maxdepth 1 -type d -name "$1-[0-9]*" | sort | tail -n 1; }
for package in libopenmpt libjpeg-turbo libsdl2; do
  if [ -z "$(source_dir "$package")" ]; then
    if [ "$updated" -eq 0 ]; then
      step "apt-get update"
      "${as_root[@]}" apt-get update -qq
      updated=1
      step_done
    fi
    step "fetching the source of $package"
    (cd "$deps/src" && apt-get source -qq "$package" >/dev/null 2>&1) ||
      { echo "error: apt-get source $package failed" >&2; exit 1; }
    step_done
  fi
done

# Debian's compiler finds its optimizer's modules only through NODE_PATH.
export NODE_PATH=/usr/share/nodejs
cflags="-O2"

# A library is built again when its source version or its recipe (the function that builds it,
# the flags) changes; objects left by a stopped run are kept only for the same recipe.
recipe_of() { printf '%s %s %s\n' "$(basename "$2")" "$cflags" "$(declare -f "$1" | sha1sum | cut -c1-16)"; }
is_built() { [ -f "$1/.built" ] && [ "$(cat "$1/.built")" = "$2" ]; }

# build_library NAME PACKAGE RECIPE: builds Debian's source package PACKAGE into
# build/web-deps/NAME with the function RECIPE, called with the source folder and the output
# folder (obj/ ready, lib/ and include/ empty), unless it is built already for that recipe.
build_library() {
  local src out recipe
  src="$(source_dir "$2")"
  out="$deps/$1"
  recipe="$(recipe_of "$3" "$src")"
  is_built "$out" "$recipe" && return 0
  step "building $(basename "$src") for wasm32"
  # Objects compiled by a stopped run with the same recipe are kept.
  { [ -f "$out/obj/.recipe" ] && [ "$(cat "$out/obj/.recipe")" = "$recipe" ]; } || rm -rf "$out/obj"
  rm -rf "$out/lib" "$out/include"
  mkdir -p "$out/obj" "$out/lib" "$out/include"
  echo "$recipe" >"$out/obj/.recipe"
  "$3" "$src" "$out"
  rm -rf "$out/obj"
  echo "$recipe" >"$out/.built"
  step_done
}

# libopenmpt: the library without its optional decoders (zlib, mpg123, Ogg/Vorbis: the show's
# music is an XM module with 8- and 16-bit samples, which needs none).
build_openmpt() {
  local src=$1 out=$2
  mkdir -p "$out/include/libopenmpt"
  # The library's sources as its own build lists them.
  grep -hE '^(MPT_FILES_COMMON|MPT_FILES_SOUNDDSP|MPT_FILES_SOUNDLIB|libopenmpt_la_SOURCES) \+= .*\.cpp$' \
    "$src/Makefile.am" | awk '{ print $3 }' >"$out/sources.txt"
  # One object per source, named after its path so that equal file names do not collide.
  (cd "$src" && xargs -P "$jobs" -I{} sh -c \
    'o="$2/$(echo "$1" | tr / _).o"; [ -f "$o" ] || { em++ -std=c++17 '"$cflags"' -DLIBOPENMPT_BUILD -DNDEBUG -Ibuild/svn_version -I. -Icommon -Isrc -c "$1" -o "$o.part" && mv "$o.part" "$o"; }' \
    _ {} "$out/obj" <"$out/sources.txt")
  emar rcs "$out/lib/libopenmpt.a" "$out"/obj/*.o
  cp "$src"/libopenmpt/libopenmpt.h "$src"/libopenmpt/libopenmpt.hpp "$src"/libopenmpt/libopenmpt_config.h \
    "$src"/libopenmpt/libopenmpt_version.h "$src"/libopenmpt/libopenmpt_ext.h \
    "$src"/libopenmpt/libopenmpt_ext.hpp "$out/include/libopenmpt/"
}

# libjpeg-turbo: the portable C code of the library (no SIMD on wasm32, 8-bit samples,
# arithmetic coding as Debian builds it), its configuration headers written from their
# templates as its CMake configuration would write them for this target.
build_jpeg() {
  local src=$1 out=$2 version
  mkdir -p "$out/config"
  version="$(sed -n 's/^set(VERSION \([0-9.]*\)).*/\1/p' "$src/CMakeLists.txt")"
  local number
  number="$(echo "$version" | awk -F. '{ printf "%d%03d%03d", $1, $2, $3 }')"
  sed -e "s/@JPEG_LIB_VERSION@/62/; s/@VERSION@/$version/; s/@LIBJPEG_TURBO_VERSION_NUMBER@/$number/" \
    -e 's/@BITS_IN_JSAMPLE@/8/' \
    -e 's/#cmakedefine C_ARITH_CODING_SUPPORTED 1/#define C_ARITH_CODING_SUPPORTED 1/' \
    -e 's/#cmakedefine D_ARITH_CODING_SUPPORTED 1/#define D_ARITH_CODING_SUPPORTED 1/' \
    -e 's/#cmakedefine MEM_SRCDST_SUPPORTED 1/#define MEM_SRCDST_SUPPORTED 1/' \
    -e 's|#cmakedefine \(.*\)|/* #undef \1 */|' "$src/jconfig.h.in" >"$out/config/jconfig.h"
  sed -e "s/@BUILD@/wasm32/; s/@INLINE@/__inline__ __attribute__((always_inline))/; s/@THREAD_LOCAL@//" \
    -e "s/@CMAKE_PROJECT_NAME@/libjpeg-turbo/; s/@VERSION@/$version/; s/@SIZE_T@/4/" \
    -e 's/#cmakedefine HAVE_BUILTIN_CTZL/#define HAVE_BUILTIN_CTZL/' \
    -e 's|#cmakedefine \(.*\)|/* #undef \1 */|' "$src/jconfigint.h.in" >"$out/config/jconfigint.h"
  sed -e "s/@COPYRIGHT_YEAR@/$(date -u +%Y)/" "$src/jversion.h.in" >"$out/config/jversion.h"
  echo jcapimin.c jcapistd.c jccoefct.c jccolor.c jcdctmgr.c jchuff.c jcicc.c jcinit.c jcmainct.c \
    jcmarker.c jcmaster.c jcomapi.c jcparam.c jcphuff.c jcprepct.c jcsample.c jctrans.c jdapimin.c \
    jdapistd.c jdatadst.c jdatasrc.c jdcoefct.c jdcolor.c jddctmgr.c jdhuff.c jdicc.c jdinput.c \
    jdmainct.c jdmarker.c jdmaster.c jdmerge.c jdphuff.c jdpostct.c jdsample.c jdtrans.c jerror.c \
    jfdctflt.c jfdctfst.c jfdctint.c jidctflt.c jidctfst.c jidctint.c jidctred.c jquant1.c jquant2.c \
    jutils.c jmemmgr.c jmemnobs.c jaricom.c jcarith.c jdarith.c jsimd_none.c | tr ' ' '\n' | grep . |
    (cd "$src" && xargs -P "$jobs" -I{} sh -c \
      'o="$2/$1.o"; [ -f "$o" ] || { emcc '"$cflags"' -w -I"$3" -I. -c "$1" -o "$o.part" && mv "$o.part" "$o"; }' \
      _ {} "$out/obj" "$out/config")
  emar rcs "$out/lib/libjpeg.a" "$out"/obj/*.o
  cp "$src/jpeglib.h" "$src/jmorecfg.h" "$src/jerror.h" "$out/config/jconfig.h" "$out/include/"
}

# SDL2: the sources its Emscripten configuration (SDL_config_emscripten.h) needs, compiled
# directly (its CMake configuration runs hundreds of compiler checks), video on the page's
# canvas, sound through Web Audio, no threads so the page needs no cross-origin isolation.
build_sdl2() {
  local src=$1 out=$2
  mkdir -p "$out/include/SDL2"
  cat >"$out/sources.txt" <<'LIST'
SDL.c SDL_assert.c SDL_dataqueue.c SDL_error.c SDL_guid.c SDL_hints.c SDL_list.c SDL_log.c SDL_utils.c
atomic/SDL_atomic.c atomic/SDL_spinlock.c
audio/SDL_audio.c audio/SDL_audiocvt.c audio/SDL_audiodev.c audio/SDL_audiotypecvt.c audio/SDL_mixer.c
audio/SDL_wave.c audio/emscripten/SDL_emscriptenaudio.c audio/disk/SDL_diskaudio.c audio/dummy/SDL_dummyaudio.c
cpuinfo/SDL_cpuinfo.c dynapi/SDL_dynapi.c
events/SDL_clipboardevents.c events/SDL_displayevents.c events/SDL_dropevents.c events/SDL_events.c
events/SDL_gesture.c events/SDL_keyboard.c events/SDL_mouse.c events/SDL_quit.c events/SDL_touch.c
events/SDL_windowevents.c
file/SDL_rwops.c filesystem/emscripten/SDL_sysfilesystem.c
haptic/SDL_haptic.c haptic/dummy/SDL_syshaptic.c
joystick/SDL_gamecontroller.c joystick/SDL_joystick.c joystick/controller_type.c
joystick/emscripten/SDL_sysjoystick.c
loadso/dlopen/SDL_sysloadso.c locale/SDL_locale.c locale/emscripten/SDL_syslocale.c
main/dummy/SDL_dummy_main.c misc/SDL_url.c misc/dummy/SDL_sysurl.c
power/SDL_power.c power/emscripten/SDL_syspower.c
render/SDL_d3dmath.c render/SDL_render.c render/SDL_yuv_sw.c
render/opengles2/SDL_render_gles2.c render/opengles2/SDL_shaders_gles2.c
render/software/SDL_blendfillrect.c render/software/SDL_blendline.c render/software/SDL_blendpoint.c
render/software/SDL_drawline.c render/software/SDL_drawpoint.c render/software/SDL_render_sw.c
render/software/SDL_rotate.c render/software/SDL_triangle.c
sensor/SDL_sensor.c sensor/dummy/SDL_dummysensor.c
stdlib/SDL_crc16.c stdlib/SDL_crc32.c stdlib/SDL_getenv.c stdlib/SDL_iconv.c stdlib/SDL_malloc.c
stdlib/SDL_qsort.c stdlib/SDL_stdlib.c stdlib/SDL_string.c stdlib/SDL_strtokr.c
thread/SDL_thread.c thread/generic/SDL_syscond.c thread/generic/SDL_sysmutex.c thread/generic/SDL_syssem.c
thread/generic/SDL_systhread.c thread/generic/SDL_systls.c
timer/SDL_timer.c timer/unix/SDL_systimer.c
video/SDL_RLEaccel.c video/SDL_blit.c video/SDL_blit_0.c video/SDL_blit_1.c video/SDL_blit_A.c
video/SDL_blit_N.c video/SDL_blit_auto.c video/SDL_blit_copy.c video/SDL_blit_slow.c video/SDL_bmp.c
video/SDL_clipboard.c video/SDL_egl.c video/SDL_fillrect.c video/SDL_pixels.c video/SDL_rect.c
video/SDL_shape.c video/SDL_stretch.c video/SDL_surface.c video/SDL_video.c video/SDL_yuv.c
video/emscripten/SDL_emscriptenevents.c video/emscripten/SDL_emscriptenframebuffer.c
video/emscripten/SDL_emscriptenmouse.c video/emscripten/SDL_emscriptenopengles.c
video/emscripten/SDL_emscriptenvideo.c video/dummy/SDL_nullevents.c video/dummy/SDL_nullframebuffer.c
video/dummy/SDL_nullvideo.c video/yuv2rgb/yuv_rgb.c
LIST
  tr ' ' '\n' <"$out/sources.txt" | grep . |
    (cd "$src/src" && xargs -P "$jobs" -I{} sh -c \
      'o="$2/$(echo "$1" | tr / _).o"; [ -f "$o" ] || { emcc '"$cflags"' -w -I../include -c "$1" -o "$o.part" && mv "$o.part" "$o"; }' _ {} "$out/obj")
  emar rcs "$out/lib/libSDL2.a" "$out"/obj/*.o
  cp "$src"/include/*.h "$out/include/SDL2/"
}

build_library openmpt libopenmpt build_openmpt
build_library jpeg libjpeg-turbo build_jpeg
build_library sdl2 libsdl2 build_sdl2
