#!/usr/bin/env bash
# Sets up what is missing, builds everything with tests and runs the whole suite through CTest.
# With CI=true the suite also runs in a build with AddressSanitizer and UndefinedBehaviorSanitizer.
# The web build's checks run too (tests/web/run-web-tests.sh); outside CI VELLUMITE_SKIP_WEB=1
# leaves them out.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/ensure-deps.sh

jobs=${VELLUMITE_JOBS:-2}
# CI builds with warnings as errors; a local run on another compiler only reports them.
werror=OFF
[ "${CI:-}" = "true" ] && werror=ON
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy
# On CI the rendering tests must find a GL context (software rasteriser) rather than skip.
if [ "${CI:-}" = "true" ]; then export VELLUMITE_REQUIRE_GL=1; fi

run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja -DVELLUMITE_BUILD_TESTS=ON -DVELLUMITE_BUILD_BENCH=ON -DVELLUMITE_WERROR=$werror "$@" >/dev/null
  cmake --build "$dir" -j"$jobs"
  (cd "$dir" && ctest --output-on-failure --no-tests=error -j"$jobs" --timeout 600)
}

run_suite build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo
# The web build: the page built, its music against the native build's, the page in headless
# Chromium. Always on CI; elsewhere VELLUMITE_SKIP_WEB=1 leaves it out.
if [ "${CI:-}" = "true" ] || [ "${VELLUMITE_SKIP_WEB:-}" != "1" ]; then
  VELLUMITE_WERROR=$werror tests/web/run-web-tests.sh build/test
fi
if [ "${CI:-}" = "true" ]; then
  # The program on a virtual X display under a window manager: dialog, 20 switches, close; 10 runs.
  (unset SDL_VIDEODRIVER; tests/desktop/window_manager_test.sh build/test/src/shell/vellumite \
    build/test/tools/sample/vellumite-sample 10 20) || [ $? -eq 77 ]
  # intercept_tls_get_addr=0: with the many libraries the FFmpeg ones bring along, the leak
  # checker's tracking of dynamic thread-local storage goes wrong and crashes it at exit.
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:intercept_tls_get_addr=0
  export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  run_suite build/sanitize -DCMAKE_BUILD_TYPE=Debug -DVELLUMITE_SANITIZE=ON
fi
