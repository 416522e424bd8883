#!/usr/bin/env bash
# End to end: the region frame under the real X pointer (xdotool). A drag on the head moves it,
# a drag on the corner resizes it, a right click opens its menu without gluing it to the
# pointer, and the close button leaves region mode. Runs inside scripts/wine-env.sh.
#   region_frame_drag.sh BIN_DIR
set -uo pipefail
bin=$1
out=$(mktemp -d)
source "$(dirname "$0")/program.sh"
trap 'wineserver -k >/dev/null 2>&1; clear_settings; rm -rf "$out"' EXIT
fail() { echo "FAIL: $*"; show_windows; exit 1; }

start_with_settings "path=$(winepath -w "$out")" language=ko area=1 saveto=0 left=200 top=150 width=300 height=200

wine "$bin/Tovasen.exe" 2>/dev/null &
frame=$(visible_window ' - Tovasen$') || fail "the region frame did not appear"
sleep 0.5

geometry() { xdotool getwindowgeometry --shell "$frame" | tr '\n' ' '; }
eval "$(xdotool getwindowgeometry --shell "$frame")"
[ "$X" = 200 ] && [ "$Y" = 150 ] || fail "frame at $X,$Y, stored 200,150"

drag() {  # x0 y0 x1 y1 button
  xdotool mousemove "$1" "$2"; sleep 0.2
  xdotool mousedown "$5"; sleep 0.2
  for i in 1 2 3 4 5; do
    xdotool mousemove $(( $1 + ($3 - $1) * i / 5 )) $(( $2 + ($4 - $2) * i / 5 )); sleep 0.05
  done
  sleep 0.1; xdotool mouseup "$5"; sleep 0.4
}

drag 350 162 390 192 1
eval "$(xdotool getwindowgeometry --shell "$frame")"
[ "$X" = 240 ] && [ "$Y" = 180 ] || fail "a head drag left the frame at $X,$Y, want 240,180 ($(geometry))"
[ "$WIDTH" = 312 ] || fail "a head drag resized the frame to $WIDTH wide"
[ "$(stored left)" = 240 ] && [ "$(stored top)" = 180 ] || fail "the move was not saved: $(stored left),$(stored top)"
echo "PASS: head drag moved the frame to 240,180 and saved it"

right=$(( X + WIDTH - 2 )); bottom=$(( Y + HEIGHT - 2 ))
drag "$right" "$bottom" $(( right + 20 )) $(( bottom + 10 )) 1
eval "$(xdotool getwindowgeometry --shell "$frame")"
[ "$X" = 240 ] && [ "$WIDTH" = 332 ] && [ "$HEIGHT" = 247 ] || fail "a corner drag gave $(geometry)"
[ "$(stored width)" = 320 ] && [ "$(stored height)" = 210 ] || fail "the size was not saved: $(stored width)x$(stored height)"
echo "PASS: corner drag resized the capture area to 320x210 and saved it"

xdotool mousemove 390 192; sleep 0.2
xdotool click 3; sleep 0.5
xdotool mousemove 600 500; sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$frame")"
[ "$X" = 240 ] && [ "$Y" = 180 ] || fail "the right button moved the frame to $X,$Y"
xdotool key Escape; sleep 0.3
xdotool mousemove 650 550; sleep 0.3
eval "$(xdotool getwindowgeometry --shell "$frame")"
[ "$X" = 240 ] && [ "$Y" = 180 ] || fail "after the menu the frame follows the pointer: $X,$Y"
echo "PASS: right click left the frame in place"

# The close button: 58 px into the last 80 of the head, 16 px square, 5 px down.
xdotool mousemove $(( X + WIDTH - 80 + 58 + 8 )) $(( Y + 13 )); sleep 0.2
xdotool click 1; sleep 0.8
[ -z "$(xdotool search --onlyvisible --name ' - Tovasen$' 2>/dev/null)" ] || fail "the close button left the frame shown"
[ "$(stored area)" = 0 ] || fail "the close button stored area $(stored area)"
echo "PASS: the close button hid the frame and stored area 0"
