#!/usr/bin/env bash
# Makes a new Wine prefix at $WINEPREFIX, set up like a user's Windows for our purposes:
#   - no Mono or Gecko installer prompts (there is nothing to download them from);
#   - Wine draws window frames itself, since Xvfb runs no window manager;
#   - Korean text falls back to NanumGothic, as Windows links Segoe UI to Malgun Gothic;
#   - with TOVASEN_TEST_PROXY=127.0.0.1:PORT (scripts/wine-env.sh), every HTTP client of the
#     prefix goes through that proxy, in the places Windows keeps it: the Internet settings for
#     WinInet and the machine's WinHTTP settings for WinHTTP ("netsh winhttp set proxy").
#     Loopback names stay direct, so tests reach their own local servers.
set -euo pipefail
: "${WINEPREFIX:?WINEPREFIX must be set}"
export WINEDEBUG=-all WINEARCH=win64

mkdir -p "$(dirname "$WINEPREFIX")"
WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1

settings=$(mktemp --suffix=.reg)
trap 'rm -f "$settings"' EXIT
{
  printf 'REGEDIT4\n\n'
  printf '[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\n"Managed"="N"\n\n'
  printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink]\n'
  # REG_MULTI_SZ "NanumGothic.ttf,NanumGothic": the text, its terminator, the list's terminator.
  link=$(printf 'NanumGothic.ttf,NanumGothic' | od -An -tx1 -v | tr -s ' \n' ',' | sed 's/^,//; s/,$//')
  for face in 'Segoe UI' 'Tahoma' 'MS Shell Dlg' 'MS Shell Dlg 2' 'Microsoft Sans Serif' 'Courier New'; do
    printf '"%s"=hex(7):%s,00,00\n' "$face" "$link"
  done
  printf '\n'
  if [ -n "${TOVASEN_TEST_PROXY:-}" ]; then
    bypass='localhost;127.0.0.1'
    printf '[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings]\n'
    printf '"ProxyEnable"=dword:00000001\n"ProxyServer"="%s"\n"ProxyOverride"="%s"\n\n' "$TOVASEN_TEST_PROXY" "$bypass"
    # WINHTTP_PROXY_INFO as WinHTTP stores it: header (size 0x18, 0, flags "proxy"), then the
    # proxy and the bypass list, each as a 32-bit length and its bytes.
    python3 - "$TOVASEN_TEST_PROXY" "$bypass" <<'EOF'
import struct, sys
proxy, bypass = (s.encode("ascii") for s in sys.argv[1:])
blob = struct.pack("<III", 0x18, 0, 3) + struct.pack("<I", len(proxy)) + proxy + struct.pack("<I", len(bypass)) + bypass
print("[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections]")
print('"WinHttpSettings"=hex:' + ",".join(f"{b:02x}" for b in blob))
EOF
  fi
} >"$settings"
wine regedit /S "$(winepath -w "$settings")" >/dev/null 2>&1
wineserver -w
