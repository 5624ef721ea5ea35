#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite: the Linux build's tests (the cross-check of the
# Linux and the Windows programs among them), the same tests built with AddressSanitizer and
# UndefinedBehaviorSanitizer (scripts/build-asan.sh), a short run of each fuzz target
# (fuzz/run.sh), then the Windows build's tests under Wine (the Windows desktop program and its
# packages among them). Any of them failing fails the run. The Linux build comes first: it makes
# the help file ITACA.chm that the Windows build packs.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
scripts/build.sh -DTC_WINDOWS_BUILD_DIR="$PWD/build-win"
scripts/build-windows.sh -DTC_HELP_FILE="$PWD/build/ITACA.chm"
scripts/build-asan.sh

status=0
echo "== Pruebas en Linux"
(cd build && QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} ctest --output-on-failure -j "$(nproc)") ||
  status=1
echo "== Pruebas en Linux con AddressSanitizer y UndefinedBehaviorSanitizer"
scripts/build-asan.sh --test || status=1
echo "== Fuzzing (20 s por objetivo)"
fuzz/run.sh 20 || status=1
echo "== Pruebas de los programas de Windows (Wine)"
# A test that drives windows under Wine and Xvfb runs once more when it fails: on a loaded
# machine a step there may take longer than the test waits for it. A test that fails twice fails
# the run.
(cd build-win && ctest --output-on-failure -j "$(nproc)" --repeat until-pass:2) || status=1
exit "$status"
