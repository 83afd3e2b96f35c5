#!/bin/bash
# Debian's gammu, an AT client written independently of this project, against the
# virtual phone: identify it, read every demo message, send one to the phone's own
# number and read it back, send one elsewhere, delete one. Each gammu run must exit 0
# and show what the phone holds.
#
# Usage: gammu_interop.sh <mireth-vphone> <demo-messages.txt>
# Exit 77 (skipped) when gammu is not installed.

set -u

VPHONE=${1:?usage: gammu_interop.sh <mireth-vphone> <demo-messages.txt>}
MESSAGES=${2:?usage: gammu_interop.sh <mireth-vphone> <demo-messages.txt>}

if ! command -v gammu > /dev/null 2>&1; then
    echo "gammu is not installed (apt-get install gammu): skipped"
    exit 77
fi

export LC_ALL=C.UTF-8
WORK=$(mktemp -d "${TMPDIR:-/tmp}/vphone-gammu.XXXXXX")
LINK="$WORK/vphone"
VPHONE_PID=
FAILURES=0

cleanup() {
    if [ -n "$VPHONE_PID" ] && kill -0 "$VPHONE_PID" 2> /dev/null; then
        kill "$VPHONE_PID"
        wait "$VPHONE_PID"
    fi
    exec 3<&- 2> /dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    FAILURES=$((FAILURES + 1))
}

# The phone prints its terminal and link once both exist; read that line from a FIFO
# so the script waits for the phone, not for a guessed time.
mkfifo "$WORK/started"
"$VPHONE" --link "$LINK" --messages "$MESSAGES" --log "$WORK/vphone.log" \
    > "$WORK/started" 2> "$WORK/vphone.err" &
VPHONE_PID=$!
exec 3< "$WORK/started"
if ! read -r -t 30 -u 3 SLAVE LINKED; then
    echo "FAIL: the virtual phone did not start"
    cat "$WORK/vphone.err"
    exit 1
fi
echo "virtual phone on $SLAVE, link $LINKED"

cat > "$WORK/gammurc" << EOF
[gammu]
device = $LINK
connection = at
logfile = $WORK/gammu.log
logformat = textall
EOF

# run_gammu NAME ARGS...: runs gammu, keeps its output in $WORK/NAME.out.
run_gammu() {
    local name=$1
    shift
    echo "--- gammu $*"
    if ! timeout 120 gammu -c "$WORK/gammurc" "$@" > "$WORK/$name.out" 2>&1; then
        fail "gammu $* exited with $?"
    fi
    cat "$WORK/$name.out"
}

# expect NAME TEXT...: each text must appear in the output of run NAME.
expect() {
    local name=$1
    shift
    for text in "$@"; do
        grep -qF -- "$text" "$WORK/$name.out" || fail "gammu $name: no \"$text\" in its output"
    done
}

# expect_log TEXT: a line of the phone's log starts with TEXT.
expect_log() {
    grep -q "^$1" "$WORK/vphone.log" || fail "phone log: no line starting \"$1\""
}

run_gammu identify identify
expect identify "Kelvane" "VP-1" "V1.0 2024-05-02" "356938035643809" "234150999999999"

run_gammu all getallsms
expect all "How are you?" "+31641600986" \
    "Running 10 min late, start without me." \
    "Dinner was €42.50, so €21.25 each [tip incl.] ~ thanks!" \
    "Привет, мир" \
    "part 1 of 2" "part 2 of 2" "Back by 7pm." \
    "\"InfoSMS\"" "Your code is 482913." \
    "\"07700900321\"" \
    "See you at the airport! Gate B12." "-0400" \
    "I'm fine, thanks!" "Call me when you land." \
    "11 SMS parts in 11 SMS sequences"

run_gammu sendself sendsms TEXT +447700900123 -text "hello from gammu"
expect sendself "OK, message reference=1"
expect_log "SENT 1 "
expect_log "RECV SM 7 "

# gammu reads back the message the phone made of its own send: a check of the
# SMS-DELIVER built from the SMS-SUBMIT.
run_gammu readself getsms 1 7
expect readself "hello from gammu" "\"+447700900123\"" "UnRead"

run_gammu sendother sendsms TEXT +31641600986 -text "Ünïcode ✓ test"
expect sendother "OK, message reference=2"
expect_log "SENT 2 "

run_gammu delete deletesms 1 1
expect_log "CMD AT+CMGD=1"
expect_log "DELETED SM 1"

run_gammu after getallsms
expect after "hello from gammu" "Привет, мир"
if grep -qF "How are you?" "$WORK/after.out"; then
    fail "the deleted message is still listed"
fi

kill "$VPHONE_PID"
wait "$VPHONE_PID"
VPHONE_PID=
if [ -L "$LINK" ]; then
    fail "the link was not removed when the phone stopped"
fi

if [ "$FAILURES" -ne 0 ]; then
    echo "--- phone log"
    cat "$WORK/vphone.log"
    echo "--- end of the gammu log"
    tail -n 60 "$WORK/gammu.log"
    echo "$FAILURES check(s) failed"
    exit 1
fi
echo "gammu interoperates with the virtual phone"
