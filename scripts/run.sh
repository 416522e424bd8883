#!/usr/bin/env bash
# Starts Tovasen.exe under Wine. With DISPLAY set it shows there; without one it starts a
# private Xvfb, saves a screenshot of it to build/run-screenshot.png once the program is up,
# and keeps the program running until Ctrl-C.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="$top/build/wineprefix-run"
export WINEDEBUG=-all
export WINEARCH=win64
exe="$top/build/win/bin/Tovasen.exe"

# shellcheck source=private-x.sh
. "$top/scripts/private-x.sh"
if [ -z "${DISPLAY:-}" ]; then
  start_private_xvfb
  echo "No DISPLAY set: started a private Xvfb on $DISPLAY"
fi

if [ ! -d "$WINEPREFIX" ]; then
  echo "Creating the Wine prefix $WINEPREFIX"
  "$top/scripts/wine-prefix.sh"
fi

wine "$exe" "$@" &
program=$!

if [ -n "$xvfb_pid" ]; then
  shot="$top/build/run-screenshot.png"
  for _ in $(seq 200); do
    xdotool search --onlyvisible --name '^Tovasen' >/dev/null 2>&1 && break
    kill -0 "$program" 2>/dev/null || break
    sleep 0.1
  done
  sleep 1   # let the window paint
  import -window root "$shot"
  echo "Screenshot of the private display: $shot"
  echo "Tovasen is running; press Ctrl-C to stop it."
fi
wait "$program" || true
