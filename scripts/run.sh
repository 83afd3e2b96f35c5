#!/usr/bin/env bash
# The run command: installs what is missing, builds, starts the virtual phone with
# demo messages and opens Mireth on it. A real phone is used instead when the
# settings file in use names one (see README: "Using a real phone").
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh" run
"$top/scripts/build.sh" "$top/build"
bin="$top/build"
demo="$bin/demo"
mkdir -p "$demo/SMSData"

vphone_pid=""
cleanup() { [ -n "$vphone_pid" ] && kill "$vphone_pid" 2>/dev/null; wait 2>/dev/null || true; }
trap cleanup EXIT

if [ -z "${MIRETH_REGISTRY:-}" ]; then
  # The demo: a virtual phone on a pseudo-terminal, named COM3 in a settings file of
  # the build tree, with the data folder in the build tree too.
  export MIRETH_REGISTRY="$demo/Mireth.reg"
  link="$demo/vphone"
  rm -f "$link"
  "$bin/vphone/mireth-vphone" --link "$link" --messages "$top/vphone/demo-messages.txt" \
    --log "$demo/vphone.log" >"$demo/vphone.out" 2>&1 &
  vphone_pid=$!
  for _ in $(seq 1 100); do [ -e "$link" ] && break; sleep 0.05; done
  [ -e "$link" ] || { echo "the virtual phone did not start: $(cat "$demo/vphone.out")"; exit 1; }
  if [ ! -f "$MIRETH_REGISTRY" ]; then
    cat >"$MIRETH_REGISTRY" <<REG
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\\SOFTWARE\\Kelvane\\Mireth\\Options]
"COM Port"="COM3"
"Baud Rate"=dword:00002580
"Time Out"=dword:00002710
"Storage"=dword:0000040e

[HKEY_CURRENT_USER\\SOFTWARE\\Kelvane\\Mireth\\Data]
"Data Folder"="$demo/SMSData/"

[HKEY_CURRENT_USER\\SOFTWARE\\Kelvane\\Mireth\\Ports]
"COM3"="$link"
REG
  fi
  echo "Virtual phone on $link (COM3); its log: $demo/vphone.log"
fi

if [ -x "$bin/host/HVDesktop" ] && [ -f "$bin/shell/libmireth.so" ]; then
  if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: Mireth's window needs X11 or Wayland (set DISPLAY, or run under xvfb-run)."
    echo "Meanwhile, the phone's inbox from the command line:"
    "$bin/cli/mireth" inbox
    exit 1
  fi
  "$bin/host/HVDesktop" --plugin "$bin/shell/libmireth.so" "$@"
else
  "$bin/cli/mireth" inbox "$@"
fi
