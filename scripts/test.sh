#!/usr/bin/env bash
# The test command: installs what is missing, builds, and runs every test.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh" test
werror=OFF
[ -n "${CI:-}" ] && werror=ON
"$top/scripts/build.sh" "$top/build" -DMIRETH_WERROR=$werror
cd "$top/build"
ctest --output-on-failure -j "$(nproc)" --timeout 300
