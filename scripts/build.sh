#!/usr/bin/env bash
# Configures and builds into build/ (Release with debug information). Arguments go to the
# configuration, e.g. -DTC_WINDOWS_BUILD_DIR=... (see test.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build build -j "$(nproc)"
