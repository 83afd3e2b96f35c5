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

# shellcheck source=scripts/vphone-start.sh
. "$top/scripts/vphone-start.sh"
cleanup() { [ -n "$vphone_pid" ] && kill "$vphone_pid" 2>/dev/null; wait 2>/dev/null || true; }
trap cleanup EXIT

if [ -z "${MIRETH_REGISTRY:-}" ]; then
  # The demo: a virtual phone on a pseudo-terminal, named COM3 in a settings file of
  # the build tree, with the data folder in the build tree too.
  export MIRETH_REGISTRY="$demo/Mireth.reg"
  link="$demo/vphone"
  vphone_start "$bin" "$link" "$demo/vphone.log" "$demo/vphone.out" \
    --messages "$top/vphone/demo-messages.txt" || exit 1
  [ -f "$MIRETH_REGISTRY" ] || vphone_settings "$MIRETH_REGISTRY" "$link" "$demo/SMSData/"
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
