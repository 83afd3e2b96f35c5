#!/usr/bin/env bash
# Installs the build into a temporary prefix, moves the prefix elsewhere, and checks
# the installed files and programs with the build and source trees out of sight (an
# empty folder mounted over each in a mount namespace of the test's own).
# Usage: install_test.sh BUILD_DIR SOURCE_DIR VERSION PRIVATEDIR
set -euo pipefail
build=$1 source=$2 version=$3 privatedir=$4
. "$(dirname "$0")/checks.sh"

if [ "${MIRETH_INSIDE:-}" = 1 ]; then
  # In the namespace: hide the trees, then run the programs.
  mount -t tmpfs -o size=1m mireth-hidden "$build"
  mount -t tmpfs -o size=1m mireth-hidden "$source"
  [ ! -e "$build/CMakeCache.txt" ] && [ ! -e "$source/CMakeLists.txt" ] || fail "the trees are not hidden"
  check_programs "$MIRETH_PREFIX" "$MIRETH_WORK" "$version"
  exit 0
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/mireth-install-XXXXXX")
temp_dirs+=("$work")
case $work/ in "$build"/* | "$source"/*) fail "the temporary folder $work is inside a tree to hide" ;; esac

step "cmake --install"
cmake --install "$build" --prefix "$work/first/usr" >"$work/install.log" || fail "$(cat "$work/install.log")"
# Nothing may depend on the prefix installed to.
mkdir -p "$work/moved"
mv "$work/first/usr" "$work/moved/usr"
prefix=$work/moved/usr

check_file_list "$prefix" "$privatedir"
check_run_paths "$prefix"
check_desktop_files "$prefix"

# The checks themselves must stay in sight once the trees are hidden.
mkdir "$work/checks"
cp "$0" "$here/checks.sh" "$here/expected-files.txt" "$work/checks/"
export MIRETH_INSIDE=1 MIRETH_PREFIX=$prefix MIRETH_WORK=$work/programs
ns=(unshare --mount)
[ "$(id -u)" -eq 0 ] || ns=(unshare --map-root-user --mount)
cd "$work"
"${ns[@]}" true 2>/dev/null || fail "unshare cannot make a mount namespace here (needed to hide the build tree)"
"${ns[@]}" bash "$work/checks/$(basename "$0")" "$build" "$source" "$version" "$privatedir"
echo "installed programs work from $prefix"
