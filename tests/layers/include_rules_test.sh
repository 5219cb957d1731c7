#!/usr/bin/env bash
# The include check catches each kind of breach: a copy of the tree with one planted breach of
# every rule (a platform library in the engine, an include against the layer order, a subset's
# internal header outside it or in a subset that does not reach it) must fail with each named,
# and with two rows of HACKING.md's table swapped, the order it checks follows the table.
set -uo pipefail
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$source_dir/src" "$source_dir/tools" "$source_dir/HACKING.md" "$work/"

failures=0
expect() {  # output, text
  if ! grep -qF -- "$2" <<<"$1"; then
    echo "not reported: $2"
    failures=$((failures + 1))
  fi
}

"$source_dir/scripts/check-includes.sh" "$work" >/dev/null || { echo "the untouched tree fails"; exit 1; }

plant() {  # file, include line
  printf '%s\n' "$2" >>"$work/$1"
}
plant src/math/vector3.cpp '#include <SDL2/SDL.h>'
plant src/shell/entry.cpp '#include "shell/host/capture.h"'
plant src/shell/show_files.cpp '#include "platform/bass/module_mixer.h"'
plant src/gfx/d3d7/direct3d_driver.cpp '#include "platform/dx7/dx7_frame_timing.h"'
plant src/scene/scene.cpp '#include "platform/win32/win32_x11.h"'
plant src/platform/bass/bass_device.cpp '#include "platform/dx7/ffp/gl_context.h"'
plant src/platform/win32/win32_window.cpp '#include "math/vector3.h"'
output=$("$source_dir/scripts/check-includes.sh" "$work")
status=$?
[ $status -ne 0 ] || { echo "the planted breaches pass"; failures=$((failures + 1)); }
expect "$output" 'src/math/vector3.cpp: #include <SDL2/SDL.h>   <- the engine never includes a library'
expect "$output" 'src/shell/entry.cpp: #include "shell/host/capture.h"   <- src/shell includes src/shell/host'
expect "$output" 'src/shell/show_files.cpp: #include "platform/bass/module_mixer.h"   <- platform/bass/module_mixer.h is internal'
expect "$output" 'direct3d_driver.cpp: #include "platform/dx7/dx7_frame_timing.h"   <- platform/dx7/dx7_frame_timing.h is internal'
expect "$output" 'src/scene/scene.cpp: #include "platform/win32/win32_x11.h"   <- platform/win32/win32_x11.h is internal'
expect "$output" 'bass_device.cpp: #include "platform/dx7/ffp/gl_context.h"   <- platform/bass does not reach platform/dx7'
expect "$output" 'win32_window.cpp: #include "math/vector3.h"   <- src/platform/win32 includes src/math'
[ "$(grep -c '<-' <<<"$output")" -eq 7 ] || { echo "more than the planted breaches:"; echo "$output"; failures=$((failures + 1)); }

# The order comes from the table: with math listed below scene, scene's includes of math break it.
rm -rf "$work/src" "$work/tools"
cp -r "$source_dir/src" "$source_dir/tools" "$work/"
awk '/^\| `src\/math`/{held=$0; next} {print} /^\| `src\/scene`/{print held}' "$source_dir/HACKING.md" >"$work/HACKING.md"
output=$("$source_dir/scripts/check-includes.sh" "$work")
expect "$output" 'src/scene includes src/math, which is below it'

[ $failures -eq 0 ] && echo "every planted breach is caught"
exit $((failures > 0))
