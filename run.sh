#!/usr/bin/env bash
# Sets up, builds and runs the main job on the bundled sample school: converts it into a fresh
# temporary working folder and prints what was written. With --gui, starts the desktop program.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
scripts/build.sh

if [ "${1:-}" = "--gui" ]; then
  exec build/TransClepsaItaca "${@:2}"
fi

exec examples/demo.sh
