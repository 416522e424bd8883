#!/usr/bin/env bash
# Configures (once) and builds both trees: build/win (the program and its Windows tests) and
# build/native (the core, its tests, fuzz targets and benchmarks).
# This Windows tree only ever runs under Wine here (tests, make run), where nothing may reach
# beyond loopback: its update check asks a closed local port instead of the maker's service.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

if [ ! -f build/win/build.ninja ]; then
  cmake -S . -B build/win -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$top/scripts/wine-exec.sh" \
    -DTOVASEN_UPDATE_URL="https://localhost:9/api.init.php"
fi
if [ ! -f build/native/build.ninja ]; then
  native_cxx=()
  if command -v clang++ >/dev/null; then native_cxx=(-DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang); fi
  cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${native_cxx[@]}"
fi
cmake --build build/win
cmake --build build/native
