# shellcheck shell=bash
# Starting the virtual phone and naming it in a settings file: one way for the run
# command and the window scenario. Source it; it defines two functions and runs nothing.
#
#   vphone_start BUILD LINK LOG OUT [mireth-vphone options...]
#       Starts BUILD/vphone/mireth-vphone on a pseudo-terminal reached through LINK
#       (a stale LINK is removed first), its log in LOG and its own output in OUT, and
#       waits up to 5 s for LINK. Sets vphone_pid. Returns 1, with the phone's output on
#       stderr, when the link does not appear.
#   vphone_settings FILE LINK DATA_FOLDER [OPTION_LINE...]
#       Writes a settings file naming LINK as COM3 at 9600 baud, a 10 s time-out and
#       DATA_FOLDER as the data folder; each OPTION_LINE (e.g. '"Delete From Phone"=dword:00000001')
#       is added to the Options key.

# The process id of the phone vphone_start started last.
# shellcheck disable=SC2034  # read by the scripts that source this one
vphone_pid=""

vphone_start() {
  local build=$1 link=$2 log=$3 out=$4
  shift 4
  rm -f "$link"
  "$build/vphone/mireth-vphone" --link "$link" --log "$log" "$@" >"$out" 2>&1 &
  vphone_pid=$!
  local _
  for _ in $(seq 1 100); do
    [ -e "$link" ] && return 0
    sleep 0.05
  done
  echo "the virtual phone did not start: $(cat "$out")" >&2
  return 1
}

vphone_settings() {
  local file=$1 link=$2 data=$3
  shift 3
  {
    printf '%s\n\n' 'Windows Registry Editor Version 5.00'
    printf '%s\n' '[HKEY_CURRENT_USER\SOFTWARE\Kelvane\Mireth\Options]'
    printf '%s\n' '"COM Port"="COM3"' '"Baud Rate"=dword:00002580' '"Time Out"=dword:00002710' \
      '"Storage"=dword:0000040e'
    local line
    for line in "$@"; do printf '%s\n' "$line"; done
    printf '\n%s\n' '[HKEY_CURRENT_USER\SOFTWARE\Kelvane\Mireth\Data]'
    printf '"Data Folder"="%s"\n' "$data"
    printf '\n%s\n' '[HKEY_CURRENT_USER\SOFTWARE\Kelvane\Mireth\Ports]'
    printf '"COM3"="%s"\n' "$link"
  } >"$file"
}
