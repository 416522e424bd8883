#!/usr/bin/env bash
# The scrolling-capture benchmark under Wine on a private Xvfb: a 6000-pixel document in a
# 500-pixel view, captured whole, next to bare grabs of the same view. Not part of the tests.
#   bench/scroll_capture.sh [RUNS]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cmake --build "$top/build/win" -j2 --target scroll_capture_bench
"$top/scripts/wine-env.sh" "$top/scripts/wine-exec.sh" "$top/build/win/tests/scroll_capture_bench.exe" "${1:-5}"
