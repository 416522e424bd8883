#!/usr/bin/env bash
# The longer reliability run: 100 back-to-back captures through tovasen-cmd in each naming
# scheme (1 continue, 2 date and time, 3 first free), each printing its own path; every file
# must be distinct and decodable. Runs under Wine on a private Xvfb; not part of the tests.
#   bench/hundred_captures.sh [COUNT]
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
count=${1:-100}
if [ -z "${TOVASEN_WINE_ENV:-}" ]; then
  TOVASEN_WINE_ENV=1 exec "$top/scripts/wine-env.sh" bash "$0" "$@"
fi
bin="$top/build/win/bin"
failed=0
for scheme in 1 2 3; do
  out=$(mktemp -d)
  key='HKCU\Software\Dravomix\Tovasen'
  wine reg add "$key" /v path /t REG_SZ /d "$(winepath -w "$out")" /f >/dev/null 2>&1
  wine reg add "$key" /v area /t REG_DWORD /d 0 /f >/dev/null 2>&1
  wine reg add "$key" /v saveto /t REG_DWORD /d 3 /f >/dev/null 2>&1
  wine reg add "$key" /v append /t REG_DWORD /d "$scheme" /f >/dev/null 2>&1
  wine reg add "$key" /v sound /t REG_DWORD /d 1 /f >/dev/null 2>&1
  wine "$bin/Tovasen.exe" /start 2>/dev/null &
  sleep 3
  paths=$(mktemp)
  start=$(date +%s.%N)
  for _ in $(seq "$count"); do
    wine "$bin/tovasen-cmd.exe" capture 2>/dev/null | tr -d '\r' >>"$paths" || echo "capture failed" >&2
  done
  end=$(date +%s.%N)
  wine "$bin/tovasen-cmd.exe" --help >/dev/null 2>&1
  distinct=$(sort -u "$paths" | grep -c .)
  files=$(find "$out" -type f | wc -l)
  bad=0
  for f in "$out"/*; do identify "$f" >/dev/null 2>&1 || bad=$((bad + 1)); done
  printf 'scheme %s: %s captures in %.1f s, %s distinct paths, %s files, %s not decodable\n' \
    "$scheme" "$count" "$(echo "$end - $start" | bc)" "$distinct" "$files" "$bad"
  [ "$distinct" -eq "$count" ] && [ "$files" -eq "$count" ] && [ "$bad" -eq 0 ] || failed=1
  wineserver -k >/dev/null 2>&1
  rm -rf "$out" "$paths"
done
[ $failed -eq 0 ] && echo "PASS" || { echo "FAIL"; exit 1; }
