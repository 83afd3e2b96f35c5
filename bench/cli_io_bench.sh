#!/usr/bin/env bash
# mireth store dump and store write at 100,000 records against cat and cp of the same
# data, measured in the same run. Goals: dump --json within 4x cat, write within 4x cp.
#
#   bench/cli_io_bench.sh [path/to/mireth] [records]
set -euo pipefail
MIRETH=${1:-build/cli/mireth}
N=${2:-100000}
DIR=$(mktemp -d "${TMPDIR:-/tmp}/mireth-cli-bench-XXXXXX")
trap 'rm -rf "$DIR"' EXIT

# Received messages as JSON lines: number, date, 40 to 160 characters, a PDU.
awk -v n="$N" 'BEGIN {
  srand(20240102);
  hex = "0123456789ABCDEF";
  for (i = 0; i < n; i++) {
    len = 40 + int(rand() * 121); text = "";
    for (c = 0; c < len; c++) text = text (rand() < 0.2 ? " " : sprintf("%c", 97 + int(rand() * 26)));
    pdu = ""; for (c = 0; c < 2 * (27 + int((len * 7 + 7) / 8)); c++) pdu = pdu substr(hex, 1 + int(rand() * 16), 1);
    printf("{\"class\":\"CMessage\",\"m_strNumber\":\"+49%d\",\"m_nStatus\":1,\"m_nStorage\":1,\"m_strDateTime\":\"2024-05-0%d 12:00:00\",\"m_strMessage\":\"%s\",\"m_strPdu\":\"%s\",\"m_strServiceCenter\":\"+491710760000\"}\n", 1500000000 + i, 1 + i % 9, text, pdu);
  }
}' > "$DIR/in.jsonl"

# The best of three runs of a command, in seconds.
best() {
  local best=""
  for _ in 1 2 3; do
    local t0 t1
    t0=$(date +%s.%N)
    "$@"
    t1=$(date +%s.%N)
    best=$(awk -v a="$t0" -v b="$t1" -v c="$best" 'BEGIN { d = b - a; print (c == "" || d < c) ? d : c }')
  done
  echo "$best"
}

write_store() { "$MIRETH" store write "$DIR/SMSIn.Dat" < "$DIR/in.jsonl" > /dev/null; }
copy_input() { cp "$DIR/in.jsonl" "$DIR/copy.jsonl"; }
# store write flushes the file to the disk before it replaces the old one; so does
# this baseline (cp, then sync of the copy).
copy_synced() { cp "$DIR/in.jsonl" "$DIR/copy.jsonl" && sync "$DIR/copy.jsonl"; }
dump_store() { "$MIRETH" store dump "$DIR/SMSIn.Dat" --json > "$DIR/out.jsonl"; }
cat_input() { cat "$DIR/in.jsonl" > "$DIR/cat.jsonl"; }

t_write=$(best write_store)
t_cp=$(best copy_input)
t_cps=$(best copy_synced)
t_dump=$(best dump_store)
t_cat=$(best cat_input)
echo "$N records, $(du -h "$DIR/in.jsonl" | cut -f1) of JSON lines, $(du -h "$DIR/SMSIn.Dat" | cut -f1) of store file"
awk -v w="$t_write" -v c="$t_cp" -v s="$t_cps" -v d="$t_dump" -v k="$t_cat" 'BEGIN {
  printf("store write: %.3f s, cp: %.3f s, ratio %.2f (goal <= 4)\n", w, c, w / c);
  printf("store write: %.3f s, cp and sync: %.3f s, ratio %.2f\n", w, s, w / s);
  printf("store dump --json: %.3f s, cat: %.3f s, ratio %.2f (goal <= 4)\n", d, k, d / k);
}'
