#!/usr/bin/env bash
# Takes the README's pictures of Tovasen under Wine, each cropped to its window, as small PNGs:
# the main window in Korean and English, the colour card, the region frame, the frame while
# recording, the hotkey dialog, the annotation editor and the capture history. (The drag overlay,
# the picker's outline and a floating window do not come out under this Xvfb: the overlay does not
# take the pointer that xdotool moves, and the crops of the other two come out empty.)
# Run through scripts/wine-env.sh (make screenshots):
#   scripts/wine-env.sh scripts/screenshots.sh [OUTPUT_FOLDER]     (default: docs)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$top/docs}")
exe="$top/build/win/bin/Tovasen.exe"
cmd="$top/build/win/bin/tovasen-cmd.exe"
mkdir -p "$out"

key='HKCU\Software\Dravomix\Tovasen'
setting() { wine reg add "$key" /v "$1" /t "$2" /d "$3" /f >/dev/null 2>&1; }
fresh_settings() {
  wine reg delete "$key" /f >/dev/null 2>&1 || true
  setting path REG_SZ 'C:\users\Public'
  setting mouse REG_DWORD 0
  setting sound REG_DWORD 1
  setting history_keep REG_DWORD 1
  # The region frame where the pictures expect it.
  setting left REG_DWORD 560; setting top REG_DWORD 330; setting width REG_DWORD 480; setting height REG_DWORD 300
}

# The newest visible window whose title matches, or nothing.
window() { xdotool search --onlyvisible --name "$1" 2>/dev/null | tail -n 1; }
wait_window() { # title-regex
  local id=""
  for _ in $(seq 150); do id=$(window "$1"); [ -n "$id" ] && break; sleep 0.1; done
  [ -n "$id" ] || { echo "screenshots.sh: no window \"$1\"" >&2; exit 1; }
  echo "$id"
}
settle() { sleep "${1:-1}"; }

# name x y w h: that part of the screen, made small.
crop() {
  import -window root -crop "$4x$5+$2+$3" +repage -strip -define png:compression-level=9 "$out/$1.png"
  local size; size=$(stat -c %s "$out/$1.png")
  if [ "$size" -gt 100000 ]; then
    convert "$out/$1.png" -colors 256 -define png:compression-level=9 "$out/$1.png"
  fi
  echo "$1.png $(stat -c %s "$out/$1.png") bytes"
}
# name window margin: the window with a margin around it (more above, for the title bar).
shoot_window() {
  local X Y WIDTH HEIGHT SCREEN WINDOW
  eval "$(xdotool getwindowgeometry --shell "$2")"
  local m=$3 x y
  x=$((X - m < 0 ? 0 : X - m)); y=$((Y - m - 24 < 0 ? 0 : Y - m - 24))
  crop "$1" "$x" "$y" $((WIDTH + 2 * m)) $((HEIGHT + 2 * m + 24))
}

start() { # language area target [extra settings as name type value triples]
  wineserver -k 2>/dev/null || true; settle 1
  fresh_settings
  setting language REG_SZ "$1"; setting area REG_DWORD "$2"; setting saveto REG_DWORD "$3"
  shift 3
  while [ $# -ge 3 ]; do setting "$1" "$2" "$3"; shift 3; done
  wine "$exe" >/dev/null 2>&1 &
  main=$(wait_window '^Tovasen$')
  xdotool windowmove "$main" 220 80
  settle 1.5
}
press_print() { xdotool key Print; }
# Chooses an item of the tray icon's menu as a user does (Wine shows the notification area as a
# window): the menu opens at the pointer; the item is clicked by its distance from the top, in
# items of this menu's height (separators are 9 px, items 17 px at 96 DPI).
tray_menu_item() { # items-above separators-above
  local X Y WIDTH HEIGHT SCREEN WINDOW
  eval "$(xdotool getwindowgeometry --shell "$(wait_window '^Wine System Tray$')")"
  local mx=$((X + 12)) my=$((Y + HEIGHT / 2))
  xdotool mousemove "$mx" "$my" click 3
  settle 0.7
  xdotool mousemove $((mx + 30)) $((my + 4 + 17 * $1 + 9 * $2 + 8)) click 1
  settle 0.5
}

start ko 0 0
shoot_window main-ko "$main" 12
start en 0 0
shoot_window main-en "$main" 12
start en 6 0
shoot_window colour-card "$main" 12

# The hotkey dialog, through the tray menu.
tray_menu_item 13 1
dialog=$(wait_window '^Hotkey$')
settle 0.5
shoot_window hotkey-dialog "$dialog" 12

# The region frame, and the same frame while it records.
start en 1 0
crop region-frame 540 290 530 400
start en 1 5
press_print
settle 3
crop recording-frame 540 290 530 400
press_print
settle 3

# The annotation editor before output, with a box drawn on the picture.
start en 1 7 edit_before_output REG_DWORD 1
press_print
editor=$(wait_window 'Editor')
xdotool windowsize "$editor" 760 520 windowmove "$editor" 60 40
settle 1
eval "$(xdotool getwindowgeometry --shell "$editor")"
xdotool mousemove $((X + 200)) $((Y + 150)) click 1 key r
settle 0.3
xdotool mousemove $((X + 120)) $((Y + 160)) mousedown 1 mousemove $((X + 300)) $((Y + 260)) mousemove $((X + 420)) $((Y + 330)) mouseup 1
settle 1
shoot_window editor "$editor" 8
xdotool key ctrl+Return
settle 1

# The capture history after a few captures, opened from the tray menu.
start en 1 0
for _ in 1 2 3; do wine "$cmd" capture >/dev/null 2>&1; done
settle 2
# "History…": three delayed captures come first.
tray_menu_item 3 0
history=$(wait_window 'Capture History')
xdotool windowsize "$history" 720 480 windowmove "$history" 60 40
settle 1.5
shoot_window history "$history" 8

wineserver -k
echo "screenshots in $out"
