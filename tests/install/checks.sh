# The checks of an installed Mireth, shared by install_test.sh (a cmake --install
# prefix) and deb_check.sh (the package's files). Source it; each check prints what
# it checks and exits the script with a message on the first fault.

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# The PDU of a received message as the phone lists it (service centre first): from
# +31641600986, "How are you?", a common example of the SMS-DELIVER layout.
sample_pdu=07911326040000F0040B911346610089F60000208062917314080CC8F71D14969741F977FD07

# What the exit undoes, however the script ends: a virtual phone still running and
# the temporary folders listed.
vphone_pid=
temp_dirs=()
cleanup() {
  [ -z "$vphone_pid" ] || kill "$vphone_pid" 2>/dev/null || true
  [ ${#temp_dirs[@]} -eq 0 ] || rm -rf "${temp_dirs[@]}"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

step() { echo "-- $*"; }

# expect_output WHAT PATTERN OUTPUT: OUTPUT must hold the extended regular expression.
expect_output() {
  grep -Eq -- "$2" <<<"$3" || fail "$1: no \"$2\" in:
$3"
}

# check_file_list ROOT PRIVATEDIR: the files under ROOT are exactly those of
# expected-files.txt (the build's private folder in place of @PRIVATEDIR@).
check_file_list() {
  step "installed files"
  local want got
  want=$(grep -v '^#' "$here/expected-files.txt" | sed "s|@PRIVATEDIR@|$2|" | sort)
  got=$(cd "$1" && find . -type f -o -type l | sed 's|^\./||' | sort)
  [ "$want" = "$got" ] || fail "installed files differ from expected-files.txt:
$(diff <(echo "$want") <(echo "$got") || true)"
}

# check_run_paths PREFIX: no program or library looks for libraries by an absolute
# path (a build tree's, or the prefix it was installed to).
check_run_paths() {
  step "run paths"
  local f paths
  while IFS= read -r f; do
    paths=$(readelf -d "$f" | sed -n 's/.*(R[UN]*PATH).*\[\(.*\)\]/\1/p')
    case ":$paths" in *:/*) fail "$f searches $paths" ;; esac
  done < <(find "$1" -type f \( -perm -u+x -o -name '*.so' \) -exec sh -c 'head -c4 "$1" | grep -q ELF' _ {} \; -print)
}

# check_desktop_files PREFIX: the launchers, the metadata, the man pages and the
# completion, checked by the tools that read them.
check_desktop_files() {
  local prefix=$1 f out
  step "desktop files"
  for f in "$prefix"/share/applications/*.desktop; do
    out=$(desktop-file-validate "$f" 2>&1) || fail "desktop-file-validate $f: $out"
    [ -z "$out" ] || fail "desktop-file-validate $f: $out"
    local exe
    exe=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$f")
    [ -x "$prefix/bin/$exe" ] || fail "$f starts $exe, which is not installed"
    local icon
    icon=$(sed -n 's/^Icon=//p' "$f")
    [ -f "$prefix/share/icons/hicolor/48x48/apps/$icon.png" ] || fail "$f shows icon $icon, not installed"
  done
  step "AppStream metadata"
  out=$(appstreamcli validate --no-net "$prefix"/share/metainfo/*.xml 2>&1) || fail "appstreamcli: $out"
  local id
  id=$(sed -n 's|.*<launchable type="desktop-id">\(.*\)</launchable>.*|\1|p' "$prefix"/share/metainfo/*.xml)
  [ -f "$prefix/share/applications/$id" ] || fail "the metadata launches $id, which is not installed"
  step "man pages"
  for f in "$prefix"/share/man/man1/*.1.gz; do
    out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$f" 2>&1 >/dev/null) || fail "man -l $f failed: $out"
    [ -z "$out" ] || fail "man -l $f warns: $out"
    local name
    name=$(basename "$f" .1.gz)
    [ -x "$prefix/bin/$name" ] || fail "man page $name has no program"
    # Every option the program's help lists is in its page.
    local opt help
    case $name in
      mireth) help=$("$prefix/bin/mireth" help; "$prefix/bin/mireth" pdu 2>&1 || true) ;;
      *) help=$("$prefix/bin/$name" --help) ;;
    esac
    # The page is read once into a variable: grep -q on a pipe would end the pipe
    # early and pipefail would take zcat's broken pipe for a missing option.
    local page
    page=$(zcat "$f" | sed 's/\\-/-/g; s/\\f[BIR]//g')
    for opt in $(grep -oE -- '--[a-z0-9][a-z0-9-]*' <<<"$help" | sort -u); do
      grep -q -- "$opt" <<<"$page" || fail "man page $name lacks $opt"
    done
  done
  step "bash completion"
  out=$(bash -c '. "$1"; COMP_WORDS=(mireth pdu ""); COMP_CWORD=2; _mireth; echo "${COMPREPLY[*]}";
                 COMP_WORDS=(mireth send --storage s); COMP_CWORD=3; _mireth; echo "${COMPREPLY[*]}"' \
        _ "$prefix/share/bash-completion/completions/mireth")
  [ "$out" = $'decode encode\nsim' ] || fail "completion offers: $out"
}

# check_programs PREFIX WORKDIR VERSION: runs the installed programs, with a clean
# environment and a home of their own in WORKDIR.
check_programs() {
  local prefix=$1 work=$2 version=$3 out name
  mkdir -p "$work/home" "$work/run"
  chmod 700 "$work/run"
  local -a env=(env -i HOME="$work/home" PATH="$prefix/bin:/usr/bin:/bin" LANG=C.UTF-8
                XDG_RUNTIME_DIR="$work/run" QT_QPA_PLATFORM=offscreen
                ASAN_OPTIONS="${ASAN_OPTIONS:-}" UBSAN_OPTIONS="${UBSAN_OPTIONS:-}")

  step "--version"
  for name in mireth mireth-vphone HVDesktop; do
    out=$("${env[@]}" timeout 60 "$name" --version) || fail "$name --version failed"
    [ "$out" = "$name $version" ] || fail "$name --version says \"$out\", not \"$name $version\""
  done

  step "mireth pdu decode"
  out=$("${env[@]}" timeout 60 mireth pdu decode "$sample_pdu") || fail "pdu decode failed: $out"
  expect_output "pdu decode" 'From: +\+31641600986' "$out"
  expect_output "pdu decode" 'Text: +How are you\?' "$out"

  step "mireth inbox on the virtual phone"
  echo "SM 1 $sample_pdu" >"$work/messages.txt"
  "${env[@]}" mireth-vphone --link "$work/phone" --messages "$work/messages.txt" \
    --log "$work/phone.log" >"$work/vphone.out" 2>&1 &
  vphone_pid=$!
  # The link appears once the phone answers; give up after ten seconds.
  local i
  for ((i = 0; i < 100; i++)); do
    [ -L "$work/phone" ] && break
    kill -0 "$vphone_pid" 2>/dev/null || fail "mireth-vphone ended: $(cat "$work/vphone.out")"
    sleep 0.1
  done
  [ -L "$work/phone" ] || fail "mireth-vphone made no link"
  out=$("${env[@]}" timeout 60 mireth inbox --device "$work/phone" 2>&1) || fail "inbox: $out"
  kill "$vphone_pid"
  wait "$vphone_pid" || true
  vphone_pid=
  expect_output "inbox" '\+31641600986 .* How are you\?' "$out"
  grep -q 'AT+CMGL' "$work/phone.log" || fail "the phone was not asked for its messages"

  step "HVDesktop finds the installed plug-in"
  out=$("${env[@]}" timeout 60 HVDesktop --quit-after 2>"$work/host.err") || fail "HVDesktop: $(cat "$work/host.err")"
  [ "$out" = "plug-in: Mireth" ] || fail "HVDesktop loaded: \"$out\"; $(cat "$work/host.err")"
  ! grep -q '^HVDesktop:' "$work/host.err" || fail "HVDesktop: $(cat "$work/host.err")"
  out=$("${env[@]}" timeout 60 HVDesktop --command 1 --quit-after 2>"$work/host.err") ||
    fail "HVDesktop --command 1: $(cat "$work/host.err")"
  expect_output "HVDesktop --command 1" '^result: ' "$out"
  # The window opened: it made the settings file in the home of its own.
  [ -f "$work/home/.config/Kelvane/Mireth.reg" ] || fail "the window wrote no settings"
}
