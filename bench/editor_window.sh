#!/usr/bin/env bash
# The editor benchmark under Wine on a private Xvfb: time to open on a full-HD capture, one drag
# step among 200 objects, memory of 1000 drags. Not part of the tests.
#   bench/editor_window.sh [RUNS]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cmake --build "$top/build/win" -j2 --target editor_window_bench
"$top/scripts/wine-env.sh" "$top/scripts/wine-exec.sh" "$top/build/win/tests/editor_window_bench.exe" "${1:-9}"
