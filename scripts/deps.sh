#!/usr/bin/env bash
# Installs the Debian 12 packages Mireth needs to build, test and run, when missing.
# Usage: scripts/deps.sh [run|test]   (test also brings the tools the tests drive)
set -euo pipefail
want=(build-essential cmake ninja-build pkg-config qt6-base-dev libgl-dev
      libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
      libx11-dev xvfb xauth x11-utils
      file)  # cpack -G DEB finds the programs' libraries with it
if [ "${1:-run}" = test ]; then
  want+=(gammu socat
         desktop-file-utils appstream lintian man-db groff  # the install checks
         openbox xdotool x11-apps netpbm                    # the window scenario
         clang-format)                                      # the format check
fi
missing=()
for p in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
