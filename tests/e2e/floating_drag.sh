#!/usr/bin/env bash
# End to end: a floating window made by tovasen-cmd follows an xdotool drag exactly and stays
# put when the mouse only passes over it. Runs inside scripts/wine-env.sh (DISPLAY, WINEPREFIX).
#   floating_drag.sh BIN_DIR
set -uo pipefail
bin=$1
out=$(mktemp -d)
source "$(dirname "$0")/program.sh"
trap 'wineserver -k >/dev/null 2>&1; clear_settings; rm -rf "$out"' EXIT

start_with_settings "path=$(winepath -w "$out")" area=0 saveto=10 sound=1

wine "$bin/Tovasen.exe" /start 2>/dev/null &
for _ in $(seq 100); do
  wine "$bin/tovasen-cmd.exe" capture >/dev/null 2>&1 && break
  sleep 0.2
done
window=$(visible_window '^Tovasen$') || { echo "FAIL: no floating window appeared"; exit 1; }

position() { xdotool getwindowgeometry "$window" | awk '/Position:/ {print $2}'; }
start=$(position)
echo "floating window at $start"

# Passing over it without a button moves nothing, and a later click is not eaten.
xdotool mousemove 200 200; sleep 0.2
xdotool mousemove 260 240; sleep 0.2
xdotool mousemove 300 300; sleep 0.3
[ "$(position)" = "$start" ] || { echo "FAIL: hovering moved the window to $(position)"; exit 1; }

# A drag by (40, 30) with the left button.
xdotool mousemove 200 200; sleep 0.2
xdotool mousedown 1; sleep 0.3
xdotool mousemove 220 215; sleep 0.1
xdotool mousemove 240 230; sleep 0.3
xdotool mouseup 1; sleep 0.5
IFS=, read -r x0 y0 <<<"$start"
IFS=, read -r x1 y1 <<<"$(position)"
if [ $((x1 - x0)) -ne 40 ] || [ $((y1 - y0)) -ne 30 ]; then
  echo "FAIL: the drag moved the window by ($((x1 - x0)), $((y1 - y0))), not (40, 30)"
  exit 1
fi

# Hovering after the drag leaves it where it was dropped.
xdotool mousemove 400 400; sleep 0.3
[ "$(position)" = "$x1,$y1" ] || { echo "FAIL: the window moved after the drag ended"; exit 1; }
echo "PASS: dragged by (40, 30); hovering moved nothing"
