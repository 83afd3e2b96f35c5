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

# The best of three runs of a command: "real cpu" in seconds (cpu is user plus system
# time, which the other programs on a busy machine do not inflate as much).
best() {
  local best_real="" best_cpu="" t
  for _ in 1 2 3; do
    t=$( { TIMEFORMAT='%R %U %S'; time "$@" 2>/dev/null; } 2>&1 )
    read -r best_real best_cpu <<<"$(awk -v t="$t" -v r="$best_real" -v c="$best_cpu" 'BEGIN {
      split(t, f, " "); u = f[2] + f[3];
      print (r == "" || f[1] < r) ? f[1] : r, (c == "" || u < c) ? u : c }')"
  done
  echo "$best_real $best_cpu"
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
echo "(real: elapsed time; cpu: user and system time; the best of three runs each)"
awk -v w="$t_write" -v c="$t_cp" -v s="$t_cps" -v d="$t_dump" -v k="$t_cat" 'BEGIN {
  split(w, W, " "); split(c, C, " "); split(s, S, " "); split(d, D, " "); split(k, K, " ");
  printf("store write: %.3f s, cp: %.3f s, ratio %.2f real; cpu %.3f s, %.3f s, ratio %.2f (goal <= 4)\n",
         W[1], C[1], W[1] / C[1], W[2], C[2], W[2] / C[2]);
  printf("store write: %.3f s, cp and sync: %.3f s, ratio %.2f real; cpu %.3f s, %.3f s, ratio %.2f\n",
         W[1], S[1], W[1] / S[1], W[2], S[2], W[2] / S[2]);
  printf("store dump --json: %.3f s, cat: %.3f s, ratio %.2f real; cpu %.3f s, %.3f s, ratio %.2f (goal <= 4)\n",
         D[1], K[1], D[1] / K[1], D[2], K[2], D[2] / K[2]);
}'
