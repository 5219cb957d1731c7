#!/usr/bin/env bash
# The include rules of the layer map (HACKING.md): the engine's folders never include SDL, GL,
# EGL, Dear ImGui, libopenmpt, FFmpeg or a platform subset's internal headers; the platform
# subsets never include the engine; the original program's shell never includes the port's
# host features (src/shell/host), which reach the platform only through its public headers.
# Prints each breach and fails when there is one.
set -uo pipefail
cd "$(dirname "$0")/.."

engine=(src/math src/loading src/scene src/gfx src/image)
foreign='#include[[:space:]]*[<"](SDL|GL/|EGL/|KHR/|imgui|libopenmpt/|libav|libsw|epoxy/)'
internal='#include[[:space:]]*"platform/[a-z0-9]+/(ffp/[a-z_]+|win32_sdl|win32_internal|dx7_objects|dx7_com_object|dx7_adapters|dx7_pipeline|dx7_pixel_layout|device_state|module_mixer)\.h"'
engine_headers='#include[[:space:]]*"(math|loading|scene|gfx|image|shell)/'

status=0
report() {  # pattern, what, folders...
  local pattern=$1 what=$2; shift 2
  local hits
  hits=$(grep -rnE "$pattern" "$@" --include='*.h' --include='*.cpp' --include='*.c' 2>/dev/null)
  if [ -n "$hits" ]; then
    printf '%s\n' "$hits" | sed "s/\$/   <- $what/"
    status=1
  fi
}

report "$foreign" "the engine never includes a library of the platform" "${engine[@]}"
report "$internal" "the engine never includes a platform subset's internal header" "${engine[@]}"
report "$engine_headers" "the platform subsets never include the engine" src/platform
report '#include[[:space:]]*"shell/host/' "the original shell never includes the port's host features" \
  src/shell/*.h src/shell/*.cpp
report "$internal" "the host features never include a platform subset's internal header" src/shell/host

[ $status -eq 0 ] && echo "include rules hold"
exit $status
