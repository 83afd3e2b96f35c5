#!/usr/bin/env bash
# Runs one fuzz target of the clang build (build-fuzz/) with its dictionary for a
# given time on a scratch copy of its corpus, and prints what it reached: executions,
# coverage (libFuzzer's "cov" edges and "ft" features) and corpus size. New inputs
# stay in the scratch folder; copy the interesting ones into fuzz/corpus/ by hand.
#
#   fuzz/run.sh TARGET SECONDS [build folder]
#   fuzz/run.sh --dict TARGET      prints the target's dictionary (exit 2: it has none)
#
# MIRETH_FUZZ_PLAIN=1 runs a target that has a mutator of its own with libFuzzer's
# mutations alone, for comparing the coverage of equal runs.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
if [ "$1" = --dict ]; then
  TARGET=$2
else
  TARGET=$1
  SECONDS_TO_RUN=$2
  BUILD=${3:-build-fuzz}
fi
case $TARGET in
  fuzz_atreply|fuzz_vphone_at) DICT=at.dict ;;
  fuzz_pdu|fuzz_vphone_pdu) DICT=pdu.dict ;;
  fuzz_terminal_text) DICT=terminal.dict ;;
  fuzz_atevents) DICT=atevents.dict ;;
  fuzz_registry) DICT=registry.dict ;;
  fuzz_archive) DICT=archive.dict ;;
  fuzz_record_json) DICT=json.dict ;;
  *) echo "no dictionary for $TARGET" >&2; exit 2 ;;
esac
[ -f "$HERE/dict/$DICT" ] || { echo "dictionary $HERE/dict/$DICT is missing" >&2; exit 2; }
if [ "$1" = --dict ]; then
  echo "$HERE/dict/$DICT"
  exit 0
fi
WORK=$(mktemp -d "${TMPDIR:-/tmp}/mireth-$TARGET-XXXXXX")
cp "$HERE/corpus/$TARGET/"* "$WORK/" 2>/dev/null || true
"$BUILD/fuzz/$TARGET" -dict="$HERE/dict/$DICT" -max_total_time="$SECONDS_TO_RUN" -print_final_stats=1 \
  -artifact_prefix="$WORK/" "$WORK" 2>&1 | tee "$WORK.log" | grep -E "^#[0-9]+[[:space:]]+(INITED|DONE)|stat::|ERROR|crash-" || true
echo "$TARGET: $(grep -Eo 'stat::number_of_executed_units: [0-9]+' "$WORK.log" | grep -Eo '[0-9]+') executions in ${SECONDS_TO_RUN} s," \
     "$(grep -E '^#[0-9]+[[:space:]]+DONE' "$WORK.log" | grep -Eo 'cov: [0-9]+ ft: [0-9]+')," \
     "corpus $(ls "$WORK" | wc -l) files (scratch: $WORK)"
