#!/usr/bin/env bash
# Builds the Windows programs into build-win/ with MinGW-w64 (installing what it needs first):
# transclepsa.exe and TransClepsaItaca.exe, each one file that needs no DLL beyond Windows' own,
# and the test programs. Given the help file of a Linux build, also the packages for Windows
# users: TransClepsaItaca-VERSION-windows.zip and TransClepsaItaca-VERSION-instalador.exe.
#   scripts/build-windows.sh [--test] [CMAKE ARGUMENTS...]
#       --test                              then run the Windows tests under Wine
#       -DTC_HELP_FILE=$PWD/build/ITACA.chm  the help file (built by scripts/build.sh)
# BUILD_TYPE chooses the build type (default Release: no debug information, a small program).
set -euo pipefail
cd "$(dirname "$0")/.."
test=false
if [ "${1:-}" = "--test" ]; then
  test=true
  shift
fi
scripts/setup.sh windows
cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Release}" -DTC_BUILD_APP=OFF -DTC_BUILD_BENCH=OFF \
  -DTC_BUILD_HELP=OFF "$@" >/dev/null
cmake --build build-win -j "$(nproc)"

if $test; then
  cd build-win
  ctest --output-on-failure -j "$(nproc)"
fi
