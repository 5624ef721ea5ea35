#!/usr/bin/env bash
# Saves screenshots of the desktop program's windows into docs/screenshots/: the main window
# (standalone, and hosted with "importar"), the template dialog in its two modes and the
# school-year dialog, drawn on a virtual X server (Xvfb) from the sample school.
# BUILD_DIR names the build folder (default: build; built first when the program is missing).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
if [ ! -x "$build/TransClepsaItaca" ]; then
  scripts/setup.sh
  scripts/build.sh
  build=build
fi

out="$PWD/docs/screenshots"
mkdir -p "$out"
TRANSCLEPSA_SCREENSHOTS="$out" \
TRANSCLEPSA_SCREENSHOT_XML="$PWD/examples/ies_exemple.xml" \
QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1280x1024x24" "$build/TransClepsaItaca"
ls "$out"
