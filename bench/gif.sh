#!/usr/bin/env bash
# The GIF benchmark under Wine on a private Xvfb of 1920x1200: a 10 s recording of a window
# moving over an 800x600 backdrop, made into a GIF in two runs and in one, with the sizes and
# times. Not part of the tests.
#   bench/gif.sh [SECONDS]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cmake --build "$top/build/win" -j2 --target gif_bench
TOVASEN_SCREEN=1920x1200x24 "$top/scripts/wine-env.sh" "$top/scripts/wine-exec.sh" \
  "$top/build/win/tests/gif_bench.exe" "${1:-10}"
