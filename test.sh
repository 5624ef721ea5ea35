#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite: the Linux build's tests (the cross-check of the
# Linux and the Windows programs among them), then the Windows build's tests under Wine. Either
# failing fails the run.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
scripts/build-windows.sh
scripts/build.sh -DTC_WINDOWS_BUILD_DIR="$PWD/build-win"

status=0
echo "== Pruebas en Linux"
(cd build && QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} ctest --output-on-failure -j "$(nproc)") ||
  status=1
echo "== Pruebas de los programas de Windows (Wine)"
(cd build-win && ctest --output-on-failure -j "$(nproc)") || status=1
exit "$status"
