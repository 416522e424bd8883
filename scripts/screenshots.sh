#!/usr/bin/env bash
# Takes screenshots of the main window (Korean, English, colour card) and the hotkey dialog
# into build/screenshots/, for looking at the layout. Run through scripts/wine-env.sh:
#   scripts/wine-env.sh scripts/screenshots.sh
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out="$top/build/screenshots"
exe="$top/build/win/bin/Tovasen.exe"
mkdir -p "$out"

key='HKCU\Software\Dravomix\Tovasen'
setting() { wine reg add "$key" /v "$1" /t "$2" /d "$3" /f >/dev/null 2>&1; }

main_window() { xdotool search --onlyvisible --name '^Tovasen$' | head -n 1; }

shoot() { # name: crops the screen to the main window plus a margin
  local id geometry x y w h
  id=$(main_window)
  eval "$(xdotool getwindowgeometry --shell "$id")"
  import -window root -crop "$((WIDTH + 300))x$((HEIGHT + 200))+$((X - 20))+$((Y - 40))" "$out/$1.png"
}

run() { # language area name
  setting language REG_SZ "$1"
  setting area REG_DWORD "$2"
  wine "$exe" &
  for _ in $(seq 100); do [ -n "$(main_window)" ] && break; sleep 0.1; done
  sleep 1
  shoot "$3"
}

run ko 0 main-ko
wineserver -k; sleep 1
run en 0 main-en
wineserver -k; sleep 1
run ko 6 colour-card
# The hotkey dialog, through the menu as a user opens it: right-click, up four items, Enter.
id=$(main_window)
xdotool mousemove --window "$id" 150 185 click 3
sleep 0.5
for _ in 1 2 3 4; do xdotool key Up; done
xdotool key Return
sleep 1
dialog=$(xdotool search --onlyvisible --name '단축키 설정' | head -n 1)
eval "$(xdotool getwindowgeometry --shell "$dialog")"
import -window root -crop "$((WIDTH + 40))x$((HEIGHT + 60))+$((X - 20))+$((Y - 40))" "$out/hotkey-dialog.png"
wineserver -k
echo "screenshots in $out"
