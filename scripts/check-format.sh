#!/usr/bin/env bash
# The one format of the C++ sources: every tracked .h and .cpp as .clang-format has it.
# Prints the places that differ and exits 1; `scripts/check-format.sh --fix` rewrites them.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
command -v clang-format >/dev/null || { echo "clang-format is missing (scripts/deps.sh test installs it)" >&2; exit 1; }
mapfile -t files < <(git ls-files '*.h' '*.cpp')
if [ "${1:-}" = --fix ]; then
  clang-format -i "${files[@]}"
else
  clang-format --dry-run -Werror "${files[@]}"
fi
