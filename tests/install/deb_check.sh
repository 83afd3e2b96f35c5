#!/usr/bin/env bash
# Makes the Debian package with cpack and checks it: its files against
# expected-files.txt, its control fields, lintian (no errors), that apt finds all it
# depends on for a system with nothing installed, and the package installed with dpkg
# into a throwaway root, where the installed programs run; then it is removed again,
# leaving nothing behind.
# Usage: deb_check.sh BUILD_DIR [OUT_DIR]   (the .deb stays in OUT_DIR, default BUILD_DIR)
set -euo pipefail
build=$(cd "$1" && pwd)
out=${2:-$build}
. "$(dirname "$0")/checks.sh"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
privatedir=$(sed -n 's/^MIRETH_INSTALL_PRIVATEDIR:INTERNAL=//p' "$build/CMakeCache.txt")
[ -n "$version" ] && [ -n "$privatedir" ] || fail "no version or private folder in $build/CMakeCache.txt"

step "cpack -G DEB"
mkdir -p "$out"
(cd "$build" && cpack -G DEB -B "$out" >"$out/cpack.log" 2>&1) || fail "cpack: $(cat "$out/cpack.log")"
deb=$out/mireth_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "no $deb"

work=$(mktemp -d "${TMPDIR:-/tmp}/mireth-deb-XXXXXX")
temp_dirs+=("$work")

step "dpkg-deb -c"
mkdir "$work/contents"
dpkg-deb -x "$deb" "$work/contents"
check_file_list "$work/contents/usr" "$privatedir"
listing=$(dpkg-deb -c "$deb")
! grep -Ev '^[-d]r[-w][-x]r-[-x]r-[-x] root/root ' <<<"$listing" || fail "files not owned by root or writable by others"

step "dpkg-deb -I"
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = mireth ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Section)" = comm ] || fail "Section: $(field Section)"
depends=$(field Depends)
# From the libraries the programs link (dpkg-shlibdeps), and the Qt platform plug-ins.
for want in 'libc6 \(>= [0-9.]+\)' 'libstdc\+\+6 \(>= ' 'libqt6core6 \(>= 6' 'libqt6gui6 \(>= 6' \
            'libqt6widgets6 \(>= 6' 'qt6-qpa-plugins'; do
  grep -Eq "(^|, )$want" <<<"$depends" || fail "Depends lacks $want: $depends"
done
expect_output "Description" '^SMS manager for GSM phones and modems$' "$(field Description | head -1)"
[ "$(field Description | wc -l)" -gt 3 ] || fail "no long description"

step "lintian"
lintian --fail-on error --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1 ||
  fail "lintian: $(cat "$work/lintian.log")"
sed 's/^/   /' "$work/lintian.log"

step "apt can install it where nothing is installed yet"
# A dpkg status file with no package in it stands for a fresh system: apt must find
# every dependency in the archive of its package lists (after apt-get update).
touch "$work/empty-status"
apt-get install --simulate -o Dir::State::status="$work/empty-status" "$deb" >"$work/apt.log" 2>&1 ||
  fail "apt-get: $(cat "$work/apt.log")"
for want in mireth libqt6widgets6 qt6-qpa-plugins libc6; do
  grep -q "^Inst $want " "$work/apt.log" || fail "apt would not install $want: $(grep '^Inst' "$work/apt.log")"
done

step "dpkg -i into a throwaway root"
root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
# The root holds only this package; its dependencies are this system's.
dpkg_root=(dpkg --root="$root" --log=/dev/null --force-depends)
[ "$(id -u)" -eq 0 ] || dpkg_root+=(--force-not-root --force-bad-path)
"${dpkg_root[@]}" -i "$deb" >"$work/dpkg.log" 2>&1 || fail "dpkg -i: $(cat "$work/dpkg.log")"
[ "$(dpkg-query --admindir="$root/var/lib/dpkg" -W -f='${Status}' mireth)" = "install ok installed" ] ||
  fail "dpkg does not list mireth as installed"
check_desktop_files "$root/usr"
check_run_paths "$root/usr"
check_programs "$root/usr" "$work/programs" "$version"

step "dpkg -r"
"${dpkg_root[@]}" -r mireth >"$work/dpkg.log" 2>&1 || fail "dpkg -r: $(cat "$work/dpkg.log")"
# The window's data folder is the user's, not the package's: run as root, the host
# makes it beside the root's usr/.
left=$(find "$root" -mindepth 1 \( -path "$root/var" -o -path "$root/SMSData" \) -prune -o -print)
[ -z "$left" ] || fail "left behind: $left"
echo "package $deb checked"
