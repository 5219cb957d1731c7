#!/usr/bin/env bash
# Builds the web page into build/web (or the folder given): index.html with its script and
# style, the program as vellumite.js and vellumite.wasm, and the show's files in show/ with
# their list files.txt. Installs and builds what is missing first (scripts/ensure-web-deps.sh,
# and the native show makers for the show's files).
#   scripts/build-web.sh [OUT_DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/build/web}"
jobs=${VELLUMITE_JOBS:-2}
cd "$root"

[ -n "${VELLUMITE_WEB_SHOW:-}" ] || ./scripts/ensure-deps.sh
./scripts/ensure-web-deps.sh "$root/build/web-deps"
export NODE_PATH=/usr/share/nodejs

started=$(date +%s)
# The show's files are made by native tools, as for the desktop program (VELLUMITE_WEB_SHOW
# names a folder that holds them already).
show="${VELLUMITE_WEB_SHOW:-}"
if [ -z "$show" ]; then
  if [ ! -f build/release/build.ninja ]; then
    cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DVELLUMITE_BUILD_TESTS=OFF -DVELLUMITE_BUILD_BENCH=OFF >/dev/null
  fi
  cmake --build build/release --target vellumite-show -j"$jobs"
  show=build/release/show
fi

if [ ! -f build/web-build/build.ninja ]; then
  emcmake cmake -S . -B build/web-build -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DVELLUMITE_WEB_DEPS="$root/build/web-deps" -DVELLUMITE_WERROR="${VELLUMITE_WERROR:-OFF}" >/dev/null
fi
cmake --build build/web-build -j"$jobs"

mkdir -p "$out/show"
cp web/index.html web/page.js web/page.css build/web-build/vellumite.js build/web-build/vellumite.wasm "$out/"
rm -f "$out"/show/*
find "$show/" -maxdepth 1 -type f -exec cp {} "$out/show/" \;
(cd "$out/show" && ls -1 | { grep -v "^files\.txt$" || true; } >files.txt)
echo "build-web: the page is in $out ($(($(date +%s) - started)) s)" >&2
