#!/usr/bin/env bash
# The recording benchmark under Wine on a private Xvfb of 1920x1200: how long this thread takes
# to answer a window message while a 1920x1080 region is recorded, against the same thread idle
# in the same run. Not part of the tests.
#   bench/recording.sh [SECONDS]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cmake --build "$top/build/win" -j2 --target recording_bench
TOVASEN_SCREEN=1920x1200x24 "$top/scripts/wine-env.sh" "$top/scripts/wine-exec.sh" \
  "$top/build/win/tests/recording_bench.exe" "${1:-10}"
