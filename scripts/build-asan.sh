#!/usr/bin/env bash
# Builds the Linux programs and their tests into build-asan/ with AddressSanitizer and
# UndefinedBehaviorSanitizer (TC_SANITIZE, see cmake/Sanitize.cmake); any report fails the test
# that meets it.
#   scripts/build-asan.sh           build
#   scripts/build-asan.sh --test    build, then run the tests
# Left out: the benchmarks (measured by bench/run.sh, not tested), the help file (a Pascal
# program writes it and the normal build tests it; no code of ours runs there) and the cross-check
# with the Windows build (a comparison of two programs' outputs, the Windows one under Wine, which
# the sanitizers cannot see into; the Linux program's own runs are in the command-line tests).
# -O0 -g1 keeps the build short (no optimisation, line tables only: enough for the reports).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O0 -g1" \
  -DTC_SANITIZE=ON -DTC_BUILD_BENCH=OFF -DTC_BUILD_HELP=OFF >/dev/null
cmake --build build-asan -j "$(nproc)"

if [ "${1:-}" = "--test" ]; then
  cd build-asan
  # Every report stops the process (halt_on_error); the programs the tests start inherit these.
  # detect_stack_use_after_return=1 would also catch a reference to a finished call's local
  # variable (GCC's -Wall warns of the plain cases), but doubles the time of the crash tests:
  # give it in ASAN_OPTIONS for a longer run.
  export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:check_initialization_order=1:strict_init_order=1}
  export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
  QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} ctest --output-on-failure -j "$(nproc)"
fi
