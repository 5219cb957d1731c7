#!/usr/bin/env bash
# Sets up what is missing, builds the program (Release) and runs it with the arguments given.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/ensure-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DVELLUMITE_BUILD_TESTS=OFF -DVELLUMITE_BUILD_BENCH=OFF >/dev/null
cmake --build build/release --target vellumite -j2
exec build/release/src/shell/vellumite "$@"
