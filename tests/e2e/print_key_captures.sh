#!/usr/bin/env bash
# End to end: with Tovasen's window focused under Xvfb, pressing Print Screen (xdotool) makes a
# capture file in the output folder. Runs inside scripts/wine-env.sh (DISPLAY, WINEPREFIX).
#   print_key_captures.sh BIN_DIR
set -uo pipefail
bin=$1
out=$(mktemp -d)
source "$(dirname "$0")/program.sh"
trap 'wineserver -k >/dev/null 2>&1; clear_settings; rm -rf "$out"' EXIT

start_with_settings "path=$(winepath -w "$out")" area=0 saveto=0 append=1 hotkey=44

wine "$bin/Tovasen.exe" 2>/dev/null &
window=$(visible_window '^Tovasen$') || { echo "FAIL: Tovasen's window did not appear"; exit 1; }

xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window"
sleep 0.5
xdotool key Print
for _ in $(seq 100); do
  [ -f "$out/T-001.png" ] && break
  sleep 0.1
done
if [ ! -f "$out/T-001.png" ]; then
  echo "FAIL: Print Screen made no capture in $out"
  ls -la "$out"
  exit 1
fi
check=$(pngcheck "$out/T-001.png")
echo "$check"
size=$(identify -format '%wx%h' "$out/T-001.png")
screen=$(xdpyinfo 2>/dev/null | awk '/dimensions:/ {print $2}')
[ -z "$screen" ] || [ "$size" = "$screen" ] || { echo "FAIL: capture is $size, the screen $screen"; exit 1; }
echo "PASS: Print Screen captured $size to T-001.png"
