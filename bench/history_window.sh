#!/usr/bin/env bash
# The history benchmark under Wine on a private Xvfb: with 10,000 entries, the window's first
# paint, one search keystroke, and the user-interface thread's cost of recording a capture.
# Not part of the tests.
#   bench/history_window.sh [RUNS]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cmake --build "$top/build/win" -j2 --target history_window_bench
"$top/scripts/wine-env.sh" "$top/scripts/wine-exec.sh" "$top/build/win/tests/history_window_bench.exe" "${1:-9}"
