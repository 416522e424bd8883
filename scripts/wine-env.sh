#!/usr/bin/env bash
# Runs a command with a private X server and a throw-away Wine prefix, then takes both down.
#   wine-env.sh COMMAND...
# The Xvfb runs on a free display number and is stopped by its PID; the prefix is made anew
# under build/ for every run, so no test depends on the developer's display or prefix.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="$top/build/wineprefix"
export WINEDEBUG=-all
export WINEARCH=win64

xvfb_pid=""
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

display=""
for n in $(seq 90 190); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=$n; break; fi
done
[ -n "$display" ] || { echo "no free X display number" >&2; exit 1; }
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.05; done
[ -e "/tmp/.X11-unix/X$display" ] || { echo "Xvfb did not start on :$display" >&2; exit 1; }
export DISPLAY=":$display"

rm -rf "$WINEPREFIX"
"$top/scripts/wine-prefix.sh"

"$@"
