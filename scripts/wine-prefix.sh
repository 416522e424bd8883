#!/usr/bin/env bash
# Makes a new Wine prefix at $WINEPREFIX, set up like a user's Windows for our purposes:
#   - no Mono or Gecko installer prompts (there is nothing to download them from);
#   - Wine draws window frames itself, since Xvfb runs no window manager;
#   - Korean text falls back to NanumGothic, as Windows links Segoe UI to Malgun Gothic.
set -euo pipefail
: "${WINEPREFIX:?WINEPREFIX must be set}"
export WINEDEBUG=-all WINEARCH=win64

mkdir -p "$(dirname "$WINEPREFIX")"
WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
link='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
for face in 'Segoe UI' 'Tahoma' 'MS Shell Dlg' 'MS Shell Dlg 2' 'Microsoft Sans Serif' 'Courier New'; do
  wine reg add "$link" /v "$face" /t REG_MULTI_SZ /d 'NanumGothic.ttf,NanumGothic' /f >/dev/null 2>&1
done
wineserver -w
