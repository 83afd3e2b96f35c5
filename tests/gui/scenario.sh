#!/usr/bin/env bash
# A full session with the window as a user has it, on a virtual phone, under Xvfb with
# a window manager, driven by the keyboard through xdotool:
#   - resend a message stored unsent on the phone (the phone's log shows AT+CMGS to
#     its number), send to a typed number (AT+CMGS again);
#   - get messages (a "+" sender in the address book is named);
#   - delete one with "Delete From Phone" on (the log shows AT+CMGD);
#   - stop the phone and start it again, get messages again: the window reaches it by
#     itself, no error, no visit to Options;
#   - a baud rate the phone refuses shows the error dialog for -993;
#   - a phone paced at 300 baud: Get messages shows the progress dialog (the time it
#     took is printed), and Cancel leaves the Inbox as it was.
# Each step prints "ok:", "FAIL:" or "skipped: needs ..."; the script fails when a
# step fails. With --shots DIR it also saves a picture of each page, the progress
# dialog and the error dialog there.
#
# Usage: tests/gui/scenario.sh BUILD_DIR [--shots DIR]
# Exit status 77 (CTest's "skipped") when Xvfb, a window manager or xdotool is missing.
set -uo pipefail

build=$(cd "${1:?usage: scenario.sh BUILD_DIR [--shots DIR]}" && pwd)
shots=""
[ "${2:-}" = "--shots" ] && shots=$(mkdir -p "$3" && cd "$3" && pwd)

for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null || { echo "skipped: needs $tool (scripts/deps.sh test)"; exit 77; }
done
wm=""
for candidate in openbox xfwm4; do command -v "$candidate" >/dev/null && { wm=$candidate; break; }; done
[ -n "$wm" ] || { echo "skipped: needs a window manager, openbox or xfwm4 (scripts/deps.sh test)"; exit 77; }

# shellcheck source=scripts/vphone-start.sh
. "$(dirname "$0")/../../scripts/vphone-start.sh"

work=$(mktemp -d /tmp/mireth-gui.XXXXXX)
pids=()
failures=0
skips=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  [ -n "${MIRETH_GUI_KEEP:-}" ] && echo "kept: $work" || rm -rf "$work"
}
trap cleanup EXIT

ok() { echo "ok: $*"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
skip() { echo "skipped: needs $*"; skips+=("$*"); }

# ---- The display ------------------------------------------------------------------
display=""
for n in $(seq 91 120); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
  display=":$n"
  break
done
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 1 100); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.05; done
"$wm" >"$work/wm.log" 2>&1 &
pids+=($!)
sleep 1

# ---- The phone ----------------------------------------------------------------------
link="$work/phone"
# From +447700900456 ("Running 10 min late...") and +31641600986 ("How are you?"),
# and a message stored unsent to +447700900456 ("Call me when you land.").
cat >"$work/messages.txt" <<'EOF'
SM 1 07911326040000F0040B911346610089F60000208062917314080CC8F71D14969741F977FD07
SM 0 0791449785788997040C9144770009406500004250208051034026D2BADB9D769F413118A89D7683D8617A99059AD3C3723AE89EA6A3DF753AA85D7601
ME 2 0011000C914477000940650000A716C3309B0D6A97417774D90DCABFEB2076D84D7601
EOF
# Three others, for the slow phone.
cat >"$work/more-messages.txt" <<'EOF'
SM 0 0791947122723033040D91945121436587F90000425020213011803CC4B4DB5D9683EEE1396853A6C95C35180B347F83366559CC25AB81CAE1311AB4E1D1D37050DA3D66BB363ED0A607A2A3C3EEF53C04
ME 1 0791449785788997040B817007900023F10000424092610254401ECD72999E769F41EDB7BD4C06D1DFA019BCCD02C9DFEF3688267401
SM 0 07912160130300F4040B912121550521F300004240822201006921D37219947FD741613A888E2E83C26939FC2DA78740C730BD0C12C6642E
EOF
phone_pid=""
phone_log=""
start_phone() {  # NAME [vphone options...]
  phone_log="$work/$1.log"
  shift
  vphone_start "$build" "$link" "$phone_log" "$work/vphone.out" "$@" || exit 1
  phone_pid=$vphone_pid
  pids+=("$phone_pid")
}
stop_phone() { kill "$phone_pid" 2>/dev/null; wait "$phone_pid" 2>/dev/null; }
log_count() { grep -c "^CMD $1" "$phone_log" 2>/dev/null || true; }

# ---- Settings, data folder, address book ----------------------------------------------
data="$work/SMSData"
mkdir -p "$data"
export MIRETH_REGISTRY="$work/Mireth.reg"
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" HOME="$work/home"
export MIRETH_LOCK_DIR="$work"
# The window's one-instance lock lives in the runtime folder: a folder of the
# scenario's own, so that another Mireth window of the same user does not stop it.
export XDG_RUNTIME_DIR="$work/run"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
vphone_settings "$MIRETH_REGISTRY" "$link" "$data/" '"Delete From Phone"=dword:00000001'
echo '{"m_strNumber":"+44 7700 900456","m_strName":"Dana"}' |
  "$build/cli/mireth" store write "$data/SMSAdd.Dat" --class CAddress >/dev/null ||
  { echo "could not write the address book"; exit 1; }

# ---- Driving the window ------------------------------------------------------------------
visible() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | wc -l; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }
wait_for() {  # TITLE COUNT SECONDS: until that many windows of the title are visible
  # Timed in milliseconds: bash's SECONDS steps at whole seconds, so a wait of one
  # second measured with it can end after a few milliseconds.
  local end=$(($(now_ms) + $3 * 1000))
  while [ "$(visible "$1")" -ne "$2" ]; do
    [ "$(now_ms)" -ge $end ] && return 1
    sleep 0.05
  done
}
keys() { xdotool key --delay 60 "$@"; sleep 0.3; }
type_text() { xdotool type --delay 30 "$1"; sleep 0.2; }
shot() {  # NAME WINDOW
  [ -n "$shots" ] || return 0
  sleep 0.8
  xwd -silent -id "$2" | xwdtopnm 2>/dev/null | pnmtopng >"$shots/$1.png" 2>/dev/null || echo "(no picture $1)"
}
# What the screen shows where a window's inside is, as a histogram: red green blue
# luminance count, 0-255. Read from the screen (-screen), so a window covered or never
# painted shows as such.
pixels() { xwd -silent -id "$1" -screen 2>/dev/null | xwdtopnm 2>/dev/null | pnmdepth 255 2>/dev/null | ppmhist -noheader 2>/dev/null; }
# The colour of a window's own background on the screen: its inside 4 pixels in from
# the lower left corner (below the tab page, left of the buttons).
background() {  # WINDOW
  xwd -silent -id "$1" -screen 2>/dev/null | xwdtopnm 2>/dev/null | pnmdepth 255 2>/dev/null |
    pamcut -left 4 -bottom -5 -width 1 -height 1 2>/dev/null | ppmhist -noheader 2>/dev/null |
    awk 'NR == 1 {print $1, $2, $3}'
}
# True when the screen shows a window's inside drawn in the look of another window of
# the program: its most common colour is that window's background, it has many colours
# and dark text pixels that are a small share of it. A window never painted shows one
# colour, or whatever lay there before (the list under a dialog: white).
drawn() {  # WINDOW LIKE_WINDOW
  local histogram colours dark total
  histogram=$(pixels "$1")
  colours=$(grep -c . <<<"$histogram")
  dark=$(awk '$4 < 100 {n += $5} END {print n + 0}' <<<"$histogram")
  total=$(awk '{n += $5} END {print n + 0}' <<<"$histogram")
  [ "$(awk 'NR == 1 {print $1, $2, $3}' <<<"$histogram")" = "$(background "$2")" ] &&
    [ "$colours" -ge 8 ] && [ "$dark" -ge 30 ] && [ $((dark * 3)) -lt "$total" ]
}
drawn_within() {  # SECONDS WINDOW LIKE_WINDOW: a loaded machine may paint late
  local end=$(($(now_ms) + $1 * 1000))
  until drawn "$2" "$3"; do
    [ "$(now_ms)" -ge $end ] && return 1
    sleep 0.2
  done
}
# Where a window's inside is on the screen: "X Y WIDTH HEIGHT" (xwininfo's absolute
# corner; xdotool's position of a framed window lies off by the frame).
placement() {  # WINDOW
  xwininfo -id "$1" 2>/dev/null | awk -F: '/Absolute upper-left X/ {x = $2} /Absolute upper-left Y/ {y = $2}
    /^ *Width/ {w = $2} /^ *Height/ {h = $2} END {print x + 0, y + 0, w + 0, h + 0}'
}
# A picture of the screen around the first window, frames included, with each window's
# inside read from the screen at its place. Not one xwd of the whole screen: Qt gives
# its windows a colormap other than the screen's, and xwd then builds the picture of a
# tree of windows region by region and leaves a second window of the program black
# where it lies over the first, though the screen shows it drawn.
shot_over() {  # NAME WINDOW...
  [ -n "$shots" ] || return 0
  local name=$1 screen="$work/screen.ppm" part="$work/part.ppm" id x y w h
  shift
  sleep 0.8
  xwd -silent -root | xwdtopnm 2>/dev/null | pnmdepth 255 >"$screen" 2>/dev/null || { echo "(no picture $name)"; return 0; }
  [ -n "${MIRETH_GUI_RAW:-}" ] && pnmtopng "$screen" >"$shots/$name-raw.png" 2>/dev/null
  for id in "$@"; do
    read -r x y w h < <(placement "$id")
    xwd -silent -id "$id" -screen | xwdtopnm 2>/dev/null | pnmdepth 255 >"$part" 2>/dev/null &&
      pnmpaste "$part" "$x" "$y" "$screen" >"$screen.new" 2>/dev/null && mv "$screen.new" "$screen"
  done
  read -r x y w h < <(placement "$1")
  pamcut -left $((x > 12 ? x - 12 : 0)) -top $((y > 32 ? y - 32 : 0)) -width $((w + 24)) \
    -height $((h + 44)) -pad "$screen" 2>/dev/null | pnmtopng >"$shots/$name.png" 2>/dev/null ||
    echo "(no picture $name)"
}
# Clicks a point of the window given in thousandths of its width and height: the
# window is laid out in dialog units of its font, so places scale with its size.
click_at() {  # WINDOW X/1000 Y/1000
  local geometry w h
  geometry=$(xdotool getwindowgeometry --shell "$1")
  w=$(sed -n 's/^WIDTH=//p' <<<"$geometry")
  h=$(sed -n 's/^HEIGHT=//p' <<<"$geometry")
  xdotool mousemove --window "$1" $((w * $2 / 1000)) $((h * $3 / 1000)) click 1
  sleep 0.3
}
# The first row of the Inbox or Outbox list.
click_first_row() { click_at "$win" 480 260; }
newest() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | tail -1; }
# Closes an "SMS Message" box when one is up over the window.
dismiss_box() {
  if wait_for "SMS Message" 2 "${1:-3}"; then
    keys Return
    wait_for "SMS Message" 1 5
  fi
}

start_phone phone-a --messages "$work/messages.txt"
"$build/host/HVDesktop" --plugin "$build/shell/libmireth.so" --command 1 >"$work/host.out" 2>&1 &
host_pid=$!
pids+=("$host_pid")
wait_for "SMS Message" 1 20 || { fail "the window did not open: $(cat "$work/host.out")"; exit 1; }
win=$(newest "SMS Message")
xdotool windowactivate --sync "$win" 2>/dev/null
sleep 0.5
ok "the window opened on the virtual phone"
shot window-compose "$win"
shot_over window-screen "$win"

# ---- Resend a message stored unsent on the phone ----------------------------------------
keys alt+u ctrl+Tab ctrl+Tab  # to the Outbox
keys alt+t                      # Retrieve
dismiss_box 2
click_first_row
shot window-outbox "$win"
keys alt+r  # Resend now: Compose with the record's text and recipient
keys alt+s  # Send
dismiss_box 10
if [ "$(log_count 'AT+CMGS=')" -ge 1 ] && grep -q '^PDU .*0C91447700094065' "$phone_log"; then
  ok "the stored unsent message was sent again to its number (AT+CMGS)"
else
  fail "resending did not send to +447700900456 (log: $(grep -c . "$phone_log") lines, $(log_count 'AT+CMGS=') AT+CMGS)"
fi

# ---- Send to a typed number -----------------------------------------------------------------
keys alt+u ctrl+a
type_text "+447700900999"
keys Tab Tab ctrl+a
type_text "Hello from the scenario"
keys alt+s
dismiss_box 10
if [ "$(log_count 'AT+CMGS=')" -ge 2 ] && grep -q '^PDU .*0C91447700099099' "$phone_log"; then
  ok "a message to a typed number was sent (AT+CMGS)"
else
  fail "sending to +447700900999 did not reach the phone"
fi

# ---- Get messages ----------------------------------------------------------------------------
keys alt+u ctrl+Tab  # to the Inbox
keys alt+g
dismiss_box 2
if [ "$(log_count 'AT+CMGL')" -ge 1 ]; then ok "messages fetched (AT+CMGL)"; else fail "Get messages did not list the phone's messages"; fi
shot window-inbox "$win"

# ---- Delete with "Delete From Phone" on ------------------------------------------------------
click_first_row
keys alt+d
if wait_for "SMS Message" 2 5; then
  keys alt+y
  wait_for "SMS Message" 1 10
fi
sleep 0.5
if [ "$(log_count 'AT+CMGD=')" -ge 1 ]; then ok "deleting with the option on deleted on the phone (AT+CMGD)"; else fail "no AT+CMGD after Delete"; fi

# ---- The phone restarted: recovery without Options -------------------------------------------
stop_phone
start_phone phone-b --messages "$work/messages.txt" --fail 'AT+IPR=:ERROR'
keys alt+g
sleep 1
if [ "$(visible 'SMS Error')" -ne 0 ]; then
  fail "the restarted phone was reported as an error: $(newest 'SMS Error')"
  keys Return
else
  dismiss_box 3
  if [ "$(log_count 'AT+CMGL')" -ge 1 ]; then ok "the restarted phone was reached again by itself"; else fail "no listing on the restarted phone"; fi
fi

# ---- A refused baud rate: the error dialog for -993 -------------------------------------------
keys ctrl+Tab ctrl+Tab  # to Options
wait_for "SMS Message" 1 5
shot window-options "$win"
keys alt+b Down
if wait_for "SMS Error" 1 10; then
  ok "a refused baud rate shows the error dialog"
  shot error-993 "$(newest 'SMS Error')"
  keys Return
else
  fail "no error dialog for a refused baud rate"
fi

# ---- A slow phone: progress and Cancel -----------------------------------------------------
stop_phone
start_phone phone-c --messages "$work/more-messages.txt" --baud 300
keys ctrl+shift+Tab ctrl+shift+Tab  # to the Inbox
started=$(now_ms)
keys alt+g
# The dialog comes 300 ms into the operation; on a busy machine the keys and the
# window manager add to that, so the wait allows ten seconds and prints the time.
if wait_for "SMS Message" 2 10; then
  ok "the progress dialog is up ($(($(now_ms) - started)) ms after Get messages)"
  progress=$(newest 'SMS Message')
  sleep 0.8
  if ! command -v xwd >/dev/null || ! command -v ppmhist >/dev/null; then
    skip "xwd and netpbm to look at the progress dialog's inside"
  elif drawn_within 3 "$progress" "$win"; then
    ok "the progress dialog's text, bar and button are drawn"
  else
    fail "the progress dialog's inside is not drawn ($(pixels "$progress" | grep -c .) colours, mostly $(pixels "$progress" | awk 'NR == 1 {print $1, $2, $3}'), not $(background "$win"))"
  fi
  shot_over progress "$win" "$progress"
  keys Escape
  cancelled=$SECONDS
  wait_for "SMS Message" 1 120
  # A fetch that ran to its end listed both storages; one stopped at Cancel did not.
  if [ "$(log_count 'AT+CMGL')" -lt 2 ]; then
    ok "Cancel stopped the fetch at the next command ($((SECONDS - cancelled)) s)"
  else
    skip "the phone library to stop at Cancel (the fetch ran to its end, $((SECONDS - cancelled)) s, and was dropped)"
  fi
  [ "$(visible 'SMS Message')" -gt 1 ] && keys Return
else
  fail "no progress dialog within ten seconds of Get messages"
  wait_for "SMS Message" 1 120
fi

# ---- Close, then look at what the Inbox kept -----------------------------------------------------
xdotool windowactivate --sync "$win" 2>/dev/null
keys alt+F4
for _ in $(seq 1 100); do kill -0 "$host_pid" 2>/dev/null || break; sleep 0.1; done
inbox=$("$build/cli/mireth" store dump "$data/SMSIn.Dat" --json 2>/dev/null)
count=$(printf '%s\n' "$inbox" | grep -c '"m_strPdu"')
if [ "$count" -eq 2 ]; then
  ok "the cancelled fetch left the Inbox as it was (2 messages)"
else
  fail "the Inbox holds $count messages, not 2"
fi
if printf '%s\n' "$inbox" | grep -q '"m_strSenderName":"Dana"'; then
  ok "the sender +447700900456 is named from the address book"
else
  skip "the Inbox sender lookup by digits (\"+44 7700 900456\" in the book names +447700900456)"
fi

echo "scenario: $failures failed, ${#skips[@]} skipped"
[ "$failures" -eq 0 ]
