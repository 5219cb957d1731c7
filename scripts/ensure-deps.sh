#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need, when any is missing.
set -euo pipefail

# Build tools; SDL2; GL and EGL headers with the GLVND libraries CMake's OpenGL::OpenGL and
# OpenGL::EGL link (libOpenGL.so comes only with libopengl-dev) and Mesa's drivers (llvmpipe
# when headless); the sound, picture and dialog libraries with their headers and pkg-config
# files (libpng needs zlib's) and the setup dialog's font; the test and benchmark frameworks.
packages=(
  build-essential cmake ninja-build pkg-config ccache
  clang-format  # the source layout check
  libsdl2-dev
  libgl-dev libopengl-dev libegl-dev libgl1-mesa-dri libegl-mesa0 libglx-mesa0
  libopenmpt-dev libjpeg62-turbo-dev libpng-dev zlib1g-dev libimgui-dev fonts-dejavu-core
  libgtest-dev libgmock-dev libbenchmark-dev
  # vellumite-convert reads 3D formats through the asset import library, glTF scenes' JSON itself
  libassimp-dev nlohmann-json3-dev
  # cpack -G DEB computes the package's dependencies with dpkg-shlibdeps and file
  dpkg-dev file
  libxmp-dev  # a second module reader: the tests check the XM writer and the show's music with it
  # The show's title letters are extruded from an outline font read through FreeType.
  libfreetype-dev fonts-dejavu-core
  # the capture's video and sound encoding (H.264/AAC in MP4, VP9/Opus in WebM)
  libavcodec-dev libavformat-dev libswscale-dev libswresample-dev libavutil-dev
  libx11-dev
)
# CI only: a virtual X display, a window manager and a keyboard/mouse driver for the desktop run.
if [ "${CI:-}" = "true" ]; then packages+=(xvfb openbox xdotool); fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}" >&2
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null 2>&1 || { echo "error: need root or sudo to install: ${missing[*]}" >&2; exit 1; }
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
