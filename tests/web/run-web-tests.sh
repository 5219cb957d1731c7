#!/usr/bin/env bash
# The web build's checks: the page built (scripts/build-web.sh), the show's first 30 s of music
# rendered as WebAssembly under node equal sample for sample to the native render, the page in
# Debian's headless Chromium and in Firefox ESR on a virtual X display (tests/web/page_test.mjs),
# and the page's frames at several show times in Chromium against the native --screenshot
# frames (tests/web/frames_test.mjs). Prints how long each took.
#   tests/web/run-web-tests.sh NATIVE_BUILD_DIR
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
native="$(cd "${1:?usage: run-web-tests.sh NATIVE_BUILD_DIR}" && pwd)"
cd "$root"
started=$(date +%s)
mark() { echo "web tests: $1 ($(($(date +%s) - started)) s in all)" >&2; }

VELLUMITE_WEB_SHOW="$native/show" ./scripts/build-web.sh "$root/build/web"
mark "the page is built"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$native/tests/web/music_render" build/web/show/rockon.xm 30 "$work/native.raw"
NODE_PATH=/usr/share/nodejs node build/web-build/music_render.js build/web/show/rockon.xm 30 "$work/wasm.raw"
if ! cmp -s "$work/native.raw" "$work/wasm.raw"; then
  echo "FAIL the wasm music's first 30 s differ from the native render: $(cmp "$work/native.raw" "$work/wasm.raw" | head -1)" >&2
  exit 1
fi
echo "ok   the wasm music's first 30 s equal the native render ($(stat -c %s "$work/native.raw") bytes)"
mark "music compared"

node tests/web/page_test.mjs "$root/build/web"
mark "page tests done in Chromium"
VELLUMITE_BROWSER=firefox xvfb-run -a -s "-screen 0 1280x1024x24" \
  node --experimental-websocket tests/web/page_test.mjs "$root/build/web"
mark "page tests done in Firefox"

node tests/web/frames_test.mjs "$native/src/shell/vellumite" "$root/build/web"
mark "frames compared"
