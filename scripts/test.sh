#!/usr/bin/env bash
# Runs every test: the native core tests, then the Windows tests under Wine. Both summaries are
# printed whatever the first result; the exit status is non-zero when any test failed.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

echo "== native core tests (ASan, UBSan) =="
ctest --test-dir build/native --output-on-failure -j "$(nproc)"
native=$?

echo "== Windows tests under Wine =="
scripts/wine-env.sh ctest --test-dir build/win --output-on-failure
win=$?

[ $native -eq 0 ] && [ $win -eq 0 ]
