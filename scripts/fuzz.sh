#!/usr/bin/env bash
# Runs every fuzz target over its seeds for a while and prints how many inputs each ran.
#   fuzz.sh [SECONDS_PER_TARGET] [TARGET...]    (default 60 seconds, every target)
#   FUZZ_RUNS=N fuzz.sh 0 [TARGET...]          (N inputs each instead, however long it takes)
# The targets are libFuzzer programs of the native tree (built when its compiler is clang); the
# seeds are made anew from fuzz/make_seeds.py. A crash stops with its input in build/fuzz/.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

seconds=${1:-60}
[ $# -gt 0 ] && shift
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  mapfile -t targets < <(sed -n 's/^tovasen_fuzzer(\([a-z_]*\) .*/\1/p' fuzz/CMakeLists.txt)
fi
grep -q 'CMAKE_CXX_COMPILER:.*clang' build/native/CMakeCache.txt 2>/dev/null \
  || { echo "fuzz.sh: the native tree is not built with clang; install clang and run 'make clean build'" >&2; exit 1; }
cmake --build build/native --target "${targets[@]}"

work=build/fuzz
rm -rf "$work/seeds"
python3 fuzz/make_seeds.py "$work/seeds"
for target in "${targets[@]}"; do
  corpus="$work/corpus/$target"
  mkdir -p "$corpus" "$work/seeds/$target"
  log="$work/$target.log"
  # rss_limit_mb: the readers' limits keep every input far below this.
  if [ -n "${FUZZ_RUNS:-}" ]; then limit=(-runs="$FUZZ_RUNS"); else limit=(-max_total_time="$seconds"); fi
  if ! "build/native/fuzz/$target" "${limit[@]}" -rss_limit_mb=1024 -max_len=65536 \
      -artifact_prefix="$work/$target-" -print_final_stats=1 "$corpus" "$work/seeds/$target" >"$log" 2>&1; then
    echo "$target: FAILED (see $log)"; tail -n 30 "$log"; exit 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  echo "$target: $runs inputs, no failure"
done
