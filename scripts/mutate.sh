#!/usr/bin/env bash
# The mutation check: plants each fault of scripts/mutants.txt, one at a time, in a
# scratch clone of the committed tree, rebuilds incrementally, runs the suite and reverts.
# A mutant is killed when a test fails; it survives when every test passes. A mutant
# whose text is no longer in its file is reported as stale (the list must follow the
# code), and one that does not compile is left out of the score.
#
# Usage: scripts/mutate.sh [--keep DIR] [--only REGEX] [--quick] [--jobs N] [--limit SECONDS]
#                          [--exclude REGEX]
#   --keep DIR      scratch folder to reuse between runs (default: a new temporary one)
#   --only REGEX    run only the mutants whose file or note matches REGEX
#   --quick         per mutant, rebuild and run only the test programs that the
#                   "targets" lines of the list give for its folder (each program runs
#                   whole, in one process); without it the whole suite runs under ctest.
#                   A quick score can only be lower than the full one.
#   --jobs N        parallel builds and tests (default: the number of cores)
#   --limit SECONDS time limit of one test (ctest) or one test program (--quick),
#                   default 120; a mutant that runs past it counts as caught (it hangs)
#   --exclude REGEX CTest names left out of the whole suite (default: the gammu round
#                   trip, which tests the virtual phone against a peer and is slow)
#
# mutants.txt: one mutant a line, four fields separated by " ||| ":
#   file ||| text as it stands (must occur exactly once) ||| faulty text ||| what a careless developer did
# In the two texts "\n" stands for a line end (so a mutant may span lines) and "\\n" for
# a backslash followed by n.
# A line "targets ||| folder/ ||| program program..." names the test programs that
# --quick runs for the mutants of the files under that folder (the longest match wins).
# Blank lines and lines starting with # are skipped.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
list="$top/scripts/mutants.txt"
scratch=""
only=""
quick=0
jobs=$(nproc)
limit=120
exclude='interop|gammu'
usage="usage: scripts/mutate.sh [--keep DIR] [--only REGEX] [--quick] [--jobs N] [--limit SECONDS] [--exclude REGEX]"
while [ $# -gt 0 ]; do
  case "$1" in
    --keep) scratch=$2; shift 2 ;;
    --only) only=$2; shift 2 ;;
    --quick) quick=1; shift ;;
    --jobs) jobs=$2; shift 2 ;;
    --limit) limit=$2; shift 2 ;;
    --exclude) exclude=$2; shift 2 ;;
    *) echo "$usage" >&2; exit 2 ;;
  esac
done
case "$jobs$limit" in *[!0-9]*|'') echo "$usage" >&2; exit 2 ;; esac
[ -n "$scratch" ] || scratch=$(mktemp -d /tmp/mireth-mutate.XXXXXX)

# The scratch clone holds what is committed (HEAD); the work tree is never touched.
if [ ! -d "$scratch/src/.git" ]; then
  git clone -q "$top" "$scratch/src"
fi
(cd "$scratch/src" && git fetch -q "$top" HEAD && git checkout -q --detach FETCH_HEAD)
src="$scratch/src"
# The build folder sits in the clone as it does in a work tree, so that the compiler
# cache finds the objects of the work tree's own build.
build="$src/build"
echo "Building the unmutated tree in $build ..."
cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMIRETH_BENCH=OFF \
  $(command -v ccache >/dev/null 2>&1 && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache) >/dev/null
cmake --build "$build" -j "$jobs" >/dev/null

# The test programs --quick runs for a file: the "targets" line of the longest folder
# that holds it.
targets_for() {
  awk -F' [|][|][|] ' -v f="$1" '
    $1 == "targets" && index(f, $2) == 1 && length($2) > best { best = length($2); t = $3 }
    END { print t }' "$list"
}
build_for() { # file
  if [ "$quick" -eq 1 ]; then
    local t; t=$(targets_for "$1")
    [ -n "$t" ] || { echo "no targets line for $1" >&2; return 1; }
    # shellcheck disable=SC2086
    cmake --build "$build" -j "$jobs" --target $t
  else
    cmake --build "$build" -j "$jobs"
  fi
}
# The test programs of the file (--quick), or the whole suite but the excluded tests.
# 0 when every test passes.
run_suite() { # file
  if [ "$quick" -eq 1 ]; then
    local t exe
    for t in $(targets_for "$1"); do
      # The newest of that name: a folder left from an older layout of the tree may
      # hold a stale copy that the build no longer updates.
      exe=$(find "$build" -name "$t" -type f -perm -u+x -printf '%T@ %p\n' | sort -n | tail -1 | cut -d' ' -f2-)
      [ -n "$exe" ] || { echo "test program $t not built" >&2; return 2; }
      (cd "$(dirname "$exe")" && QT_QPA_PLATFORM=offscreen timeout -k 5 "$limit" "$exe" --gtest_brief=1 \
        >/dev/null 2>&1) || return 1
    done
    return 0
  fi
  (cd "$build" && ctest -j "$jobs" -E "$exclude" --timeout "$limit" --stop-on-failure >/dev/null 2>&1)
}
if [ "$quick" -eq 0 ]; then
  run_suite "" || { echo "The unmutated suite fails: fix that first." >&2; exit 1; }
fi

apply_mutant() { # file from to -> 0 applied, 3 stale
  python3 - "$1" "$2" "$3" <<'PY'
import sys
path, old, new = sys.argv[1:4]
def unescape(t):
    return t.replace("\\\\n", "\0").replace("\\n", "\n").replace("\0", "\\n")
old, new = unescape(old), unescape(new)
text = open(path, encoding="utf-8").read()
if text.count(old) != 1:
    sys.exit(3)
open(path, "w", encoding="utf-8").write(text.replace(old, new, 1))
PY
}

killed=0; survived=0; stale=0; broken=0; n=0; checked=""
survivors=()
while IFS= read -r line || [ -n "$line" ]; do
  case "$line" in ''|'#'*|'targets |||'*) continue ;; esac
  file=${line%% ||| *}; rest=${line#* ||| }
  from=${rest%% ||| *}; rest=${rest#* ||| }
  to=${rest%% ||| *}; note=${rest#* ||| }
  if [ -n "$only" ] && ! printf '%s %s\n' "$file" "$note" | grep -Eq "$only"; then continue; fi
  n=$((n + 1))
  # Each set of test programs must pass on the unmutated tree before it can judge.
  if [ "$quick" -eq 1 ]; then
    set_key=" $(targets_for "$file") "
    case "$checked" in *"|$set_key|"*) ;; *)
      build_for "$file" >/dev/null 2>&1 && run_suite "$file" ||
        { echo "The unmutated tests of $file fail or do not build: fix that first." >&2; exit 1; }
      checked="$checked|$set_key|" ;;
    esac
  fi
  if ! apply_mutant "$src/$file" "$from" "$to"; then
    stale=$((stale + 1)); echo "STALE    $file: $note"; continue
  fi
  if ! build_for "$file" >/dev/null 2>&1; then
    broken=$((broken + 1)); echo "NOBUILD  $file: $note"
  elif run_suite "$file"; then
    survived=$((survived + 1)); survivors+=("$file: $note"); echo "SURVIVED $file: $note"
  else
    killed=$((killed + 1)); echo "killed   $file: $note"
  fi
  (cd "$src" && git checkout -q -- "$file")
done < "$list"
cmake --build "$build" -j "$jobs" >/dev/null 2>&1 || true

scored=$((killed + survived))
echo
echo "mutants: $n  killed: $killed  survived: $survived  stale: $stale  not building: $broken"
if [ "$scored" -gt 0 ]; then
  echo "score: $((100 * killed / scored))% ($killed of $scored)"
fi
for s in "${survivors[@]+"${survivors[@]}"}"; do echo "  survivor: $s"; done
[ "$stale" -eq 0 ] || exit 1
