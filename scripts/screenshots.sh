#!/usr/bin/env bash
# Saves screenshots of the desktop program's windows into docs/screenshots/: the main window
# (standalone, and hosted with "importar"), the template dialog in its two modes and the
# school-year dialog, drawn on a virtual X server (Xvfb) from the sample school.
# The windows are drawn by tc_app_screenshots, a test program built with the tests (the program
# users get has no such code). BUILD_DIR names the build folder (default: build; built first when
# the program is missing).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
shooter="$build/tests/app/tc_app_screenshots"
if [ ! -x "$shooter" ]; then
  scripts/setup.sh
  scripts/build.sh
  build=build
  shooter="$build/tests/app/tc_app_screenshots"
fi

out="$PWD/docs/screenshots"
mkdir -p "$out"
QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1280x1024x24" "$shooter" "$out" "$PWD/examples/ies_exemple.xml"
ls "$out"
