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

xvfb_pid=""
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 90 190); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=$n; break; fi
  done
  Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.05; done
  export DISPLAY=":$display"
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
