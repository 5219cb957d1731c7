#!/usr/bin/env bash
# Sets up what is missing, builds the program (Release) and runs it with the arguments given;
# ./run.sh --web builds the web page instead and serves it on http://127.0.0.1:8080/.
# The show is made by the build (build/release/show) and played from there unless
# --data DIR is given.
# Without a display the show is rendered into a folder with --capture instead, and the
# script says where the result is.
set -euo pipefail
caller="$(pwd)"
root="$(cd "$(dirname "$0")" && pwd)"
cd "$root"

# --web: the show as a web page, served on this machine until Ctrl+C.
if [ "${1:-}" = "--web" ]; then
  ./scripts/build-web.sh "$root/build/web"
  port=${VELLUMITE_WEB_PORT:-8080}
  echo "run.sh: the show's page is at http://127.0.0.1:$port/ (Ctrl+C stops serving)" >&2
  exec python3 -m http.server "$port" --bind 127.0.0.1 --directory "$root/build/web"
fi

./scripts/ensure-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DVELLUMITE_BUILD_TESTS=OFF -DVELLUMITE_BUILD_BENCH=OFF >/dev/null
cmake --build build/release --target vellumite vellumite-show -j2
program="$root/build/release/src/shell/vellumite"

# Paths the user gives stay relative to where the script was started.
cd "$caller"

has_data=0
offline=0
show_files=1
for argument in "$@"; do
  case "$argument" in
    --data | --data=*) has_data=1 ;;
    --capture | --capture=* | --screenshot | --screenshot=*) offline=1 ;;
    --scene | --scene=* | --help | --version) offline=1 show_files=0 ;;
  esac
done

args=("$@")
if [ "$has_data" -eq 0 ] && [ "$show_files" -eq 1 ]; then
  if [ -d "$root/build/release/show" ]; then
    args=(--data "$root/build/release/show" "${args[@]}")
  else
    echo "run.sh: no show files in $root/build/release/show (give --data DIR to play a show from elsewhere)" >&2
  fi
fi

if [ "$offline" -eq 0 ] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  out="$root/out/show-$(date +%Y%m%d-%H%M%S)"
  echo "run.sh: there is no display; rendering the show into $out instead" >&2
  status=0
  "$program" "${args[@]}" --capture "$out" || status=$?
  # 0: done; 130, 143: stopped by Ctrl+C or SIGTERM, what was rendered kept as a complete file.
  if [ "$status" -eq 0 ] || [ "$status" -eq 130 ] || [ "$status" -eq 143 ]; then
    video=""
    for name in show.mp4 show.webm; do [ -f "$out/$name" ] && video="$out/$name"; done
    if [ -n "$video" ]; then
      echo "run.sh: the show is in $video" >&2
    else
      echo "run.sh: the show is in $out: frames frame_00000.png ... and the sound track audio.wav" >&2
    fi
  fi
  exit "$status"
fi

exec "$program" "${args[@]}"
