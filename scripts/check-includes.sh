#!/usr/bin/env bash
# The include rules of the layer map in HACKING.md, checked over src/ and tools/:
# - the layer order: a file includes only headers of its own layer or of layers listed above
#   it in HACKING.md's table (read from the table itself, so the two cannot drift apart);
# - the platform subsets' public headers: outside src/platform, only the headers named in
#   the allow-list below may be included; every other header of a subset is internal, and
#   within src/platform a subset reaches another's internal headers only where its row of
#   the table names that subset under "may include";
# - the engine's folders (the original program's included) never include SDL, GL, EGL, Dear
#   ImGui, libopenmpt, FFmpeg, Xlib or ALSA.
# Prints each breach and fails when there is one. Usage: check-includes.sh [TREE] (default: this
# source tree).
set -uo pipefail
cd "${1:-$(dirname "$0")/..}" || exit 1

# The public headers of each platform subset; everything else in its folder is internal.
declare -A public=(
  [cpu]="cpu_instructions.h"
  [win32]="win32.h win32_types.h win32_window.h win32_system.h win32_controls.h win32_host.h"
  [dx7]="ddraw.h d3d.h ddraw_types.h d3d_types.h dx7_platform.h"
  [bass]="bass.h offline_music.h"
)
# Folders of the original engine (the memory tracker is src/shell/memory_tracker.*).
engine_dirs=(src/math src/loading src/gfx src/image src/scene src/shell)
foreign='#include[[:space:]]*<(SDL|GL/|EGL/|KHR/|imgui|libopenmpt/|libav|libsw|X11/|alsa/|epoxy/)'

# The layer table: the first column's folder (or file pattern) in order, and the platform
# subsets its "may include" column names.
layers=()
declare -A rank=() reaches=()
while IFS= read -r row; do
  key=$(printf '%s' "$row" | cut -d'|' -f2 | grep -oE '`[^`]+`' | head -1 | tr -d '`')
  [ -n "$key" ] || continue
  key=${key%/}
  rank[$key]=${#layers[@]}
  layers+=("$key")
  reaches[$key]=$(printf '%s' "$row" | cut -d'|' -f4 | grep -oE 'platform/[a-z0-9]+' | sed 's|platform/||' | tr '\n' ' ')
done < <(awk '/^## Layer map/{on=1} on && /^\| *`/{print} on && /^## / && !/Layer map/{exit}' HACKING.md)
if [ ${#layers[@]} -lt 10 ]; then
  echo "check-includes: cannot read the layer table of HACKING.md"
  exit 1
fi

# The layer a path belongs to, into $layer: the longest folder of the table it lies in (a
# pattern such as src/shell/memory_tracker.* matches its files).
declare -A layer_cache=()
find_layer() {
  local path=$1 best="" key
  if [ -n "${layer_cache[$path]+set}" ]; then layer=${layer_cache[$path]}; return; fi
  for key in "${layers[@]}"; do
    case $key in
      *'*') [[ $path == $key ]] || continue ;;
      *) [[ $path == "$key"/* ]] || continue ;;
    esac
    if [ ${#key} -gt ${#best} ]; then best=$key; fi
  done
  layer_cache[$path]=$best
  layer=$best
}

status=0
breach() {  # file, line, why
  printf '%s: %s   <- %s\n' "$1" "$2" "$3"
  status=1
}

while IFS= read -r hit; do
  file=${hit%%:*}
  line=${hit#*:}
  find_layer "$file"
  from=$layer
  [ -n "$from" ] || continue
  from_subset=""
  [[ $file =~ ^src/platform/([a-z0-9]+)/ ]] && from_subset=${BASH_REMATCH[1]}
  [[ $line =~ \"([^\"]+)\" ]] || continue
  name=${BASH_REMATCH[1]}
  target=""
  for candidate in "src/$name" "tools/$name" "${file%/*}/$name"; do
    if [ -f "$candidate" ]; then target=$candidate; break; fi
  done
  [ -n "$target" ] || continue
  find_layer "$target"
  to=$layer
  if [ -n "$to" ] && [ "${rank[$to]}" -gt "${rank[$from]}" ]; then
    breach "$file" "$line" "$from includes $to, which is below it in HACKING.md's layer table"
  fi
  if [[ $target =~ ^src/platform/([a-z0-9]+)/(.+)$ ]]; then
    subset=${BASH_REMATCH[1]} header=${BASH_REMATCH[2]}
    if [[ " ${public[$subset]:-} " == *" $header "* ]]; then continue; fi
    if [ -z "$from_subset" ]; then
      breach "$file" "$line" "platform/$subset/$header is internal to the subset"
    elif [ "$from_subset" != "$subset" ] && [[ " ${reaches[$from]} " != *" $subset "* ]]; then
      breach "$file" "$line" "platform/$from_subset does not reach platform/$subset's internals"
    fi
  fi
done < <(grep -rE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' src tools --include='*.h' --include='*.cpp' --include='*.c' | sort)

# The engine never includes the platform's libraries.
while IFS= read -r hit; do
  breach "${hit%%:*}" "${hit#*:}" "the engine never includes a library of the platform"
done < <(grep -rE "$foreign" "${engine_dirs[@]}" --include='*.h' --include='*.cpp' --include='*.c' 2>/dev/null |
         grep -v '^src/shell/host/')

[ $status -eq 0 ] && echo "include rules hold over ${#layers[@]} layers"
exit $status
