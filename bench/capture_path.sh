#!/usr/bin/env bash
# The capture-path benchmark under Wine on a private Xvfb: per save target, one capture through
# WM_COPYDATA next to the bare grab, encode and write of the same screen. Not part of the tests.
#   bench/capture_path.sh [RUNS]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cmake --build "$top/build/win" -j2 --target capture_path_bench
# The bare WebP step needs the library beside the benchmark, as the program has it.
cp -f "$top/build/win/bin/libwebp.dll" "$top/build/win/tests/" 2>/dev/null || true
trap 'rm -f "$top/build/win/tests/libwebp.dll"' EXIT
"$top/scripts/wine-env.sh" "$top/scripts/wine-exec.sh" "$top/build/win/tests/capture_path_bench.exe" "${1:-9}"
