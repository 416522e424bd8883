#!/usr/bin/env bash
# The selection windows' figures: the darkening natively (Google Benchmark), then, under Wine on
# a private Xvfb of each size, the table of selection_path_bench.exe and Tovasen's CPU use while
# idle with the mouse still, in window-picker mode and, as the baseline, in full-screen mode.
# Not part of the tests. Figures taken while other work loads the machine are not results.
#   bench/selection_path.sh [RUNS] [IDLE_SECONDS] [SECTION...]
# Sections (all when none is named): darken overlay floating picker frame program idle, and the
# request paths: capture (a PNG capture split step by step), start (launch to window shown beside a
# bare window), memory (resident, idle and after use, beside a bare window; TOVASEN_BENCH_SETTLE
# seconds of rest, 60 unless set), startup (the main window's start-up sequence split, in three
# fresh processes).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-20}
idle=${2:-10}
shift $(($# < 2 ? $# : 2))
sections=("$@")
wants() { [ ${#sections[@]} -eq 0 ] || [[ " ${sections[*]} " == *" $1 "* ]]; }

if [ -z "${TOVASEN_SELECTION_INNER:-}" ]; then
  cmake --build "$top/build/native" --target selection_bench
  cmake --build "$top/build/win" -j2 --target selection_path_bench
  echo "== load before measuring: $(cut -d' ' -f1-3 /proc/loadavg) (1, 5, 15 min) on $(nproc) cores =="
  if wants darken; then
    echo "== darkening, native, 3840x2160 (median of $runs) =="
    "$top/build/native/bench/selection_bench" --benchmark_filter='Darken|Memcpy' --benchmark_repetitions="$runs" \
      --benchmark_report_aggregates_only=true 2>/dev/null | grep -E '_(median|max)|^Benchmark' || true
  fi
  for screen in 1280x1024x24 3840x2160x24; do
    echo
    echo "== under Wine at $screen =="
    TOVASEN_SCREEN=$screen TOVASEN_SELECTION_INNER=1 "$top/scripts/wine-env.sh" bash "$0" "$runs" "$idle" "${sections[@]}"
  done
  exit 0
fi

# --- Inside wine-env.sh: a private display and prefix of the chosen size ----------------------
bench="$top/build/win/tests/selection_path_bench.exe"
table=()
for s in "${sections[@]}"; do [ "$s" = idle ] || [ "$s" = startup ] || table+=("$s"); done
if [ ${#sections[@]} -eq 0 ] || [ ${#table[@]} -gt 0 ]; then wine "$bench" "$runs" "${table[@]}" 2>/dev/null | tr -d '\r'; fi
if wants startup; then
  # Each start counts only in a process that has done nothing before it.
  for n in 1 2 3; do
    echo "-- main window's start, fresh process $n (milliseconds)"
    wine "$bench" 1 startup 2>/dev/null | tr -d '\r'
  done
fi
wants idle || exit 0

# The CPU time of this prefix's Tovasen.exe in nanoseconds, from the host's view of it: the
# scheduler's count summed over its threads (clock ticks of 10 ms are too coarse for 0.3 %).
tovasen_pid() {
  local p
  for p in /proc/[0-9]*; do
    grep -qa 'Tovasen.exe' "$p/cmdline" 2>/dev/null || continue
    grep -qxz "WINEPREFIX=$WINEPREFIX" "$p/environ" 2>/dev/null || continue
    echo "${p#/proc/}"
    return 0
  done
  return 1
}
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ n += $1 } END { printf "%d", n }'; }

for mode in 4 0; do
  log=$(mktemp)
  # Tovasen stays idle well past the measured seconds, whatever finding it takes.
  wine "$bench" --idle "$mode" $((idle + 30)) > "$log" 2>/dev/null &
  runner=$!
  for _ in $(seq 600); do grep -q IDLE_START "$log" && break; sleep 0.1; done
  pid=$(tovasen_pid || true)
  if [ -z "$pid" ]; then echo "idle mode $mode: Tovasen.exe not found"; wait "$runner" || true; continue; fi
  t0=$(cpu_ns "$pid"); s0=$(date +%s.%N)
  sleep "$idle"
  t1=$(cpu_ns "$pid"); s1=$(date +%s.%N)
  wait "$runner" || true
  rm -f "$log"
  name=$([ "$mode" = 4 ] && echo "window-picker mode" || echo "full-screen mode")
  awk -v a="$t0" -v b="$t1" -v s="$s0" -v e="$s1" -v n="$name" \
    'BEGIN { printf "Tovasen idle in %-18s mouse still, %4.1f s: %6.3f %% of a core\n", n, e - s, 100 * (b - a) / 1e9 / (e - s) }'
done
