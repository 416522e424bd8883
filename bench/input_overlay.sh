#!/usr/bin/env bash
# The overlay benchmark under Wine on a private Xvfb of 1280x1024: a full-screen recording
# without and with clicks and keys drawn, in one run, with the encoder's frame figures and speed.
# Not part of the tests.
#   bench/input_overlay.sh [SECONDS]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cmake --build "$top/build/win" -j2 --target input_overlay_bench
TOVASEN_SCREEN=1280x1024x24 "$top/scripts/wine-env.sh" "$top/scripts/wine-exec.sh" \
  "$top/build/win/tests/input_overlay_bench.exe" "${1:-10}"
