#!/usr/bin/env bash
# Configures and builds Mireth into a build folder.
# Usage: scripts/build.sh BUILD_DIR [extra cmake options...]
# ccache is used when it is installed (it only speeds up rebuilds).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dir=$1; shift
launcher=()
command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S "$top" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"
