#!/usr/bin/env bash
# Configures (once) and builds both trees: build/win (the program, its packages and its Windows
# tests) and build/native (the core, its tests, fuzz targets and benchmarks).
#   build.sh [win|native]... [--target TARGET]
#   only the trees named, and of them only TARGET (make dist: win --target dist_package)
# There is one Windows tree and it is the release: it carries the maker's real service
# addresses. Tests keep it on loopback through their environment (scripts/wine-env.sh), never
# through a differently configured binary.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

trees=() target=()
while [ $# -gt 0 ]; do
  case "$1" in
    win|native) trees+=("$1");;
    --target)
      [ $# -ge 2 ] || { echo "build.sh: --target needs a target" >&2; exit 2; }
      target=(--target "$2")
      shift;;
    *) echo "build.sh: unknown argument '$1' (win, native, --target TARGET)" >&2; exit 2;;
  esac
  shift
done
[ ${#trees[@]} -gt 0 ] || trees=(win native)

configure_win() {
  # A tree configured by an older build.sh still holds the loopback update address it was
  # given then; drop it so the release address applies.
  if [ -f build/win/CMakeCache.txt ] \
    && grep -q '^TOVASEN_UPDATE_URL:STRING=https://localhost:' build/win/CMakeCache.txt; then
    cmake -U TOVASEN_UPDATE_URL -S . -B build/win >/dev/null
  fi
  [ -f build/win/build.ninja ] && return
  cmake -S . -B build/win -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$top/scripts/wine-exec.sh"
}

configure_native() {
  [ -f build/native/build.ninja ] && return
  local native_cxx=()
  if command -v clang++ >/dev/null; then native_cxx=(-DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang); fi
  cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${native_cxx[@]}"
}

for tree in "${trees[@]}"; do
  "configure_$tree"
  cmake --build "build/$tree" "${target[@]}"
done
