#!/usr/bin/env bash
# One layout across the tree: every C and C++ source the project keeps must be as clang-format
# leaves it under .clang-format. Prints the files that differ and fails when there is one.
# Usage: check-format.sh [TREE] (default: this source tree). FIX=1 formats them in place instead.
set -uo pipefail
cd "${1:-$(dirname "$0")/..}" || exit 1
command -v clang-format >/dev/null 2>&1 || { echo "check-format: clang-format is not installed" >&2; exit 1; }

mapfile -t files < <(git ls-files -- '*.c' '*.cpp' '*.h' 2>/dev/null ||
  find src tools tests bench -name '*.c' -o -name '*.cpp' -o -name '*.h')
if [ "${FIX:-}" = "1" ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
bad=0
for f in "${files[@]}"; do
  if ! clang-format --dry-run -Werror "$f" >/dev/null 2>&1; then
    echo "not formatted: $f (FIX=1 scripts/check-format.sh, or clang-format -i $f)"
    bad=$((bad + 1))
  fi
done
echo "check-format: ${#files[@]} files, $bad not formatted"
[ "$bad" -eq 0 ]
