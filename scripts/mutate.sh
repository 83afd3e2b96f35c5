#!/usr/bin/env bash
# The mutation check: plants each fault of scripts/mutants.txt, one at a time, in a
# scratch clone of the committed tree, rebuilds incrementally, runs the suite and reverts.
# A mutant is killed when a test fails; it survives when every test passes. A mutant
# whose text is no longer in its file is reported as stale (the list must follow the
# code), and one that does not compile is left out of the score.
#
# Usage: scripts/mutate.sh [--keep DIR] [--only REGEX]
#   --keep DIR   scratch folder to reuse between runs (default: a new temporary one)
#   --only REGEX run only the mutants whose file or note matches REGEX
#
# mutants.txt: one mutant a line, four fields separated by " ||| ":
#   file ||| text as it stands (must occur exactly once) ||| faulty text ||| what a careless developer did
# Blank lines and lines starting with # are skipped.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
list="$top/scripts/mutants.txt"
scratch=""
only=""
while [ $# -gt 0 ]; do
  case "$1" in
    --keep) scratch=$2; shift 2 ;;
    --only) only=$2; shift 2 ;;
    *) echo "usage: scripts/mutate.sh [--keep DIR] [--only REGEX]" >&2; exit 2 ;;
  esac
done
[ -n "$scratch" ] || scratch=$(mktemp -d /tmp/mireth-mutate.XXXXXX)

# The scratch clone holds what is committed (HEAD); the work tree is never touched.
if [ ! -d "$scratch/src/.git" ]; then
  git clone -q "$top" "$scratch/src"
fi
(cd "$scratch/src" && git fetch -q "$top" HEAD && git checkout -q --detach FETCH_HEAD)
src="$scratch/src"
build="$scratch/build"
echo "Building the unmutated tree in $build ..."
"$src/scripts/build.sh" "$build" -DMIRETH_BENCH=OFF >/dev/null
# The suite without the gammu round trip, which tests the virtual phone against a peer
# and takes most of the time.
run_suite() {
  (cd "$build" && ctest -j "$(nproc)" -E 'interop|gammu' --timeout 120 --stop-on-failure >/dev/null 2>&1)
}
run_suite || { echo "The unmutated suite fails: fix that first." >&2; exit 1; }

apply_mutant() { # file from to -> 0 applied, 3 stale
  python3 - "$1" "$2" "$3" <<'PY'
import sys
path, old, new = sys.argv[1:4]
text = open(path, encoding="utf-8").read()
if text.count(old) != 1:
    sys.exit(3)
open(path, "w", encoding="utf-8").write(text.replace(old, new, 1))
PY
}

killed=0; survived=0; stale=0; broken=0; n=0
survivors=()
while IFS= read -r line || [ -n "$line" ]; do
  case "$line" in ''|'#'*) continue ;; esac
  file=${line%% ||| *}; rest=${line#* ||| }
  from=${rest%% ||| *}; rest=${rest#* ||| }
  to=${rest%% ||| *}; note=${rest#* ||| }
  if [ -n "$only" ] && ! printf '%s %s\n' "$file" "$note" | grep -Eq "$only"; then continue; fi
  n=$((n + 1))
  if ! apply_mutant "$src/$file" "$from" "$to"; then
    stale=$((stale + 1)); echo "STALE    $file: $note"; continue
  fi
  if ! cmake --build "$build" >/dev/null 2>&1; then
    broken=$((broken + 1)); echo "NOBUILD  $file: $note"
  elif run_suite; then
    survived=$((survived + 1)); survivors+=("$file: $note"); echo "SURVIVED $file: $note"
  else
    killed=$((killed + 1)); echo "killed   $file: $note"
  fi
  (cd "$src" && git checkout -q -- "$file")
done < "$list"
cmake --build "$build" >/dev/null 2>&1 || true

scored=$((killed + survived))
echo
echo "mutants: $n  killed: $killed  survived: $survived  stale: $stale  not building: $broken"
if [ "$scored" -gt 0 ]; then
  echo "score: $((100 * killed / scored))% ($killed of $scored)"
fi
for s in "${survivors[@]+"${survivors[@]}"}"; do echo "  survivor: $s"; done
[ "$stale" -eq 0 ] || exit 1
