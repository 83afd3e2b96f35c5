#!/usr/bin/env bash
# The core test programs (serial line, store files, settings, phone library, virtual
# phone, error texts, string table, command line) run as an ordinary user, so that the
# lock, permission and signal checks meet the rules a user meets. As the superuser the
# programs run as nobody (or USER) through setpriv; as a user they run as that user.
# The build folder only needs to be readable; each program runs in a scratch folder
# of its own.
# Usage: scripts/test-as-user.sh BUILD_DIR [USER]
set -euo pipefail
build=$(cd "${1:?usage: scripts/test-as-user.sh BUILD_DIR [USER]}" && pwd)
user=${2:-nobody}
programs="grellow_tests model_tests platform_registry_test tethra_pdu_tests tethra_tests vphone_tests
          errors_text_test res_string_table_test cli_output_test cli_watch_tests cli_watch_parts_tests"
run=()
if [ "$(id -u)" -eq 0 ]; then
  uid=$(id -u "$user"); gid=$(id -g "$user")
  run=(setpriv --reuid="$uid" --regid="$gid" --clear-groups)
fi
# The programs read the build folder and the source folder (test data): both must be
# open to the user.
for dir in "$build" "$(cd "$(dirname "$0")/.." && pwd)"; do
  if ! "${run[@]}" test -r "$dir" -a -x "$dir"; then
    echo "SKIP: $user cannot read $dir; put the tree where other users may read it" >&2
    exit 0
  fi
done
scratch=$(mktemp -d /tmp/mireth-as-user.XXXXXX)
chmod 0777 "$scratch"
trap 'rm -rf "$scratch"' EXIT
failed=0
for name in $programs; do
  exe=$(find "$build" -name "$name" -type f -perm -o+x -print -quit)
  [ -n "$exe" ] || { echo "SKIP $name (not built)"; continue; }
  dir="$scratch/$name"
  mkdir -p "$dir" && chmod 0777 "$dir"
  if (cd "$dir" && "${run[@]}" env TMPDIR="$dir" HOME="$dir" "$exe" --gtest_brief=1 >"$dir.log" 2>&1); then
    echo "ok   $name"
  else
    echo "FAIL $name"; tail -n 40 "$dir.log"; failed=1
  fi
done
exit "$failed"
