#!/usr/bin/env bash
# End to end: the portable zip unpacks to one folder holding the programs and the licence texts,
# and the Tovasen.exe in it starts and captures (print_key_captures.sh against that folder).
# Runs inside scripts/wine-env.sh (DISPLAY, WINEPREFIX).
#   zip_captures.sh ZIP
set -uo pipefail
zip=$1
here=$(cd "$(dirname "$0")" && pwd)
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

unzip -q "$zip" -d "$dir" || fail "cannot unpack $zip"
expected="Tovasen/
Tovasen/Tovasen.exe
Tovasen/ffmpeg.exe
Tovasen/libwebp.dll
Tovasen/licenses/
Tovasen/licenses/ffmpeg.txt
Tovasen/licenses/libjpeg-turbo.txt
Tovasen/licenses/libwebp.txt
Tovasen/licenses/mingw-w64-runtime.txt
Tovasen/licenses/zlib.txt
Tovasen/tovasen-cmd.exe"
actual=$(cd "$dir" && find . -mindepth 1 \( -type d -printf '%P/\n' -o -printf '%P\n' \) | LC_ALL=C sort)
[ "$actual" = "$(LC_ALL=C sort <<<"$expected")" ] || fail "the zip holds:
$actual"

# Each text carries the licence it names.
while read -r file phrase; do
  grep -qF "$phrase" "$dir/Tovasen/licenses/$file" || fail "licenses/$file lacks '$phrase'"
done <<'LIST'
libjpeg-turbo.txt Tovasen is based in part on the work of the Independent JPEG Group.
libjpeg-turbo.txt The Independent JPEG Group's JPEG software
libwebp.txt Redistribution and use in source and binary forms
zlib.txt Permission is granted to anyone to use this software for any purpose
mingw-w64-runtime.txt winpthreads
ffmpeg.txt GNU GENERAL PUBLIC LICENSE
LIST
echo "ok: the zip unpacks to Tovasen/ with the programs and five licence texts"

bash "$here/print_key_captures.sh" "$dir/Tovasen"
