#!/usr/bin/env bash
# Builds the Windows programs into build-win/ with MinGW-w64 (installing what it needs first):
# transclepsa.exe, one file that needs no DLL beyond Windows' own, and the test programs.
#   scripts/build-windows.sh           build
#   scripts/build-windows.sh --test    build, then run the Windows tests under Wine
# BUILD_TYPE chooses the build type (default Release: no debug information, a small program).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh windows
cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Release}" -DTC_BUILD_APP=OFF -DTC_BUILD_BENCH=OFF -DTC_BUILD_HELP=OFF >/dev/null
cmake --build build-win -j "$(nproc)"

if [ "${1:-}" = "--test" ]; then
  cd build-win
  ctest --output-on-failure -j "$(nproc)"
fi
