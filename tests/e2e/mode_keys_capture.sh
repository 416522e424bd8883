#!/usr/bin/env bash
# End to end: two capture modes' own keys, pressed on the real keyboard (xdotool) while
# Tovasen's window has the focus, each capture in their mode; the main key then still captures in
# the mode the main window shows, which they left alone. Runs inside scripts/wine-env.sh.
#   mode_keys_capture.sh BIN_DIR
set -uo pipefail
bin=$1
out=$(mktemp -d)
source "$(dirname "$0")/program.sh"
trap 'wineserver -k >/dev/null 2>&1; clear_settings; rm -rf "$out"' EXIT
fail() { echo "FAIL: $*"; ls -la "$out"; show_windows; exit 1; }

# Full screen chosen; region (Ctrl+F7 = 0x4076) and active window (Alt+F8 = 0x8077) have keys;
# the region frame was left with a 200 x 150 hole and is not open.
start_with_settings "path=$(winepath -w "$out")" language=ko area=0 saveto=0 append=1 hotkey=44 \
  hotkey_mode1=16502 hotkey_mode3=32887 left=100 top=80 width=200 height=150

wine "$bin/Tovasen.exe" 2>/dev/null &
window=$(visible_window '^Tovasen$') || fail "Tovasen's window did not appear"
xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window"
sleep 0.5

# press KEYS FILE: the key, then the file it must have written.
press() {
  xdotool key "$1"
  for _ in $(seq 100); do
    [ -f "$out/$2" ] && { sleep 0.3; return 0; }
    sleep 0.1
  done
  fail "$1 made no $2"
}
size() { pngcheck -q "$out/$1" >/dev/null || fail "$1 is no valid PNG"; identify -format '%wx%h' "$out/$1"; }
screen=$(xdpyinfo 2>/dev/null | awk '/dimensions:/ {print $2}')

press ctrl+F7 T-001.png
[ "$(size T-001.png)" = 200x150 ] || fail "the region key captured $(size T-001.png), not the frame's 200x150 hole"
press alt+F8 T-002.png
active=$(size T-002.png)
[ "$active" != "$screen" ] && [ "$active" != 200x150 ] || fail "the active-window key captured $active"
press Print T-003.png
[ "$(size T-003.png)" = "$screen" ] || fail "the main key captured $(size T-003.png), not the screen $screen"
[ "$(stored area)" = 0 ] || fail "the chosen mode changed to $(stored area)"
echo "PASS: Ctrl+F7 took the region (200x150), Alt+F8 the active window ($active), Print the screen ($screen)"
