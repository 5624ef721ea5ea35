#!/usr/bin/env bash
# Saves screenshots of the desktop programs' windows into docs/screenshots/, from the sample
# school, each on a virtual X server (Xvfb):
#   scripts/screenshots.sh            both programs
#   scripts/screenshots.sh qt         the Qt program: main-window.png (standalone),
#                                     main-window-importar.png (hosted), plantillas-conversion.png,
#                                     plantillas-exportacion.png, curso-destino.png
#   scripts/screenshots.sh windows    the Windows program under Wine: the same windows as
#                                     win32-*.png
# The Qt windows are drawn by tc_app_screenshots, a test program built with the tests (the program
# users get has no such code); the Windows program is the one users get, driven from outside by
# tc_win32_screenshots (built here). BUILD_DIR and WINDOWS_BUILD_DIR name the build folders
# (default: build and build-win; built first when missing).
set -euo pipefail
cd "$(dirname "$0")/.."
which=${1:-all}
out="$PWD/docs/screenshots"
mkdir -p "$out"

if [ "$which" = all ] || [ "$which" = qt ]; then
  build=${BUILD_DIR:-build}
  shooter="$build/tests/app/tc_app_screenshots"
  if [ ! -x "$shooter" ]; then
    scripts/setup.sh
    scripts/build.sh
    build=build
    shooter="$build/tests/app/tc_app_screenshots"
  fi
  QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s "-screen 0 1280x1024x24" "$shooter" "$out" "$PWD/examples/ies_exemple.xml"
fi

if [ "$which" = all ] || [ "$which" = windows ]; then
  build=${WINDOWS_BUILD_DIR:-build-win}
  if [ ! -f "$build/tc-wine-gui" ]; then
    scripts/build-windows.sh
    build=build-win
  fi
  cmake --build "$build" --target tc_win32_screenshots -j "$(nproc)" >/dev/null
  shooter="$build/tests/win32/tc_win32_screenshots.exe"
  # A Wine prefix of its own in which, as on Windows, the windows' frames and title bars are
  # drawn by Wine itself (no window manager runs on the virtual X server), with Wine's fonts.
  export TC_GUI_PREFIX="$PWD/$build/wine-shots"
  if [ ! -f "$TC_GUI_PREFIX/.tc-shots" ]; then
    "$build/tc-wine-gui" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null
    cp /usr/share/wine/fonts/*.ttf "$TC_GUI_PREFIX/drive_c/windows/Fonts/"
    touch "$TC_GUI_PREFIX/.tc-shots"
  fi
  pictures=$(mktemp -d)
  trap 'rm -rf "$pictures"' EXIT
  # The folder as the Windows program names it (Wine's drive Z: is the Unix root).
  "$build/tc-wine-gui" "$shooter" "Z:${pictures//\//\\}"
  python3 scripts/bmp_to_png.py "$pictures"/*.bmp --into "$out"
fi
ls "$out"
