#!/usr/bin/env bash
# The page beside the native program on this machine: the page's size gzipped, the native
# show benchmark at 640 x 480 (llvmpipe), and the page's figures in headless Chromium.
#   bench/web/compare.sh [NATIVE_BUILD_DIR] [PAGE_DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
native="${1:-$root/build/test}"
page="${2:-$root/build/web}"
total=0
for file in "$page"/*.* "$page"/show/*; do
  total=$((total + $(gzip -9 -c "$file" | wc -c)))
done
echo "page size gzipped (file by file, -9): $((total / 1024)) KiB"
echo "-- native (bench_show, 640x480 rows)"
SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy EGL_PLATFORM=surfaceless \
  "$native/bench/bench_show" --benchmark_filter=640 2>/dev/null | grep -v "^BM_\|^---\|^Run\|^Load" || true
echo "-- page (headless Chromium, SwiftShader WebGL 2, 640x480)"
node "$root/bench/web/page_bench.mjs" "$page"
