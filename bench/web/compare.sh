#!/usr/bin/env bash
# The page beside the native program on this machine, in one run: the page's size gzipped, the
# native show benchmark at 640 x 480 (bench_show on llvmpipe), then the page played through in
# headless Chromium (page_bench.mjs) with its figures beside the native ones for the same scene
# windows, and the music's drift from the show clock. RUNS plays the page more than once;
# PAGE_FLAGS go to page_bench.mjs (--unpaced, --series).
#   [RUNS=N] [PAGE_FLAGS=...] bench/web/compare.sh [NATIVE_BUILD_DIR] [PAGE_DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
native="${1:-$root/build/test}"
page="${2:-$root/build/web}"
runs="${RUNS:-1}"
total=0
for file in "$page"/*.* "$page"/show/*; do
  total=$((total + $(gzip -9 -c "$file" | wc -c)))
done
echo "page size gzipped (file by file, -9): $((total / 1024)) KiB"
echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
echo "-- native (bench_show, 640x480, llvmpipe)"
SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy EGL_PLATFORM=surfaceless \
  "$native/bench/bench_show" --benchmark_filter=640 >"$work/native.txt" 2>/dev/null || true
grep -v "^BM_\|^---\|^Run\|^Load\|^Benchmark" "$work/native.txt" || true
echo "load average after the native run: $(cut -d' ' -f1-3 /proc/loadavg)"
for run in $(seq 1 "$runs"); do
  echo "-- page run $run (headless Chromium, SwiftShader WebGL 2, 640x480)"
  # shellcheck disable=SC2086
  node "$root/bench/web/page_bench.mjs" "$page" --native "$work/native.txt" ${PAGE_FLAGS:-}
done
