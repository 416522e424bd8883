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
# A program that fails is run again, up to three runs in all: under load, Wine now and then
# leaves a test program hanging (seen at exit of runner_tests, and in ocr_tests twice in a row).
# Each hang is cut short and reported with its stacks (tests/win/support/hang_watch.cpp); a real
# fault fails all three runs.
scripts/wine-env.sh ctest --test-dir build/win --output-on-failure --repeat until-pass:3
win=$?

[ $native -eq 0 ] && [ $win -eq 0 ]
