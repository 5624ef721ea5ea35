#!/usr/bin/env bash
# Installs the build and test dependencies from Debian packages (clang for the fuzz targets, the
# sanitizers come with GCC; Chromium loads the HTML report as a browser does; AT-SPI, D-Bus and
# xclip let the tests drive the desktop program from outside). Does nothing when all is there.
#   scripts/setup.sh            everything: the Linux build, its tests and the Windows build
#   scripts/setup.sh windows    only what the Windows build and its tests need
set -euo pipefail

linux=(
  build-essential cmake pkg-config
  libpugixml-dev libcli11-dev libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-translations-l10n xvfb xauth x11-utils fonts-liberation2
  fpc fp-units-db fp-units-misc fp-utils
  libxml2-utils python3
  libchm-bin g++-mingw-w64-x86-64-posix wine
  clang libclang-rt-dev
  chromium
  at-spi2-core dbus python3-gi gir1.2-atspi-2.0 xclip
)
# The Windows programs: MinGW-w64 (the posix flavour, for std::thread), CLI11's headers and
# GoogleTest's sources for the target, Wine to run the tests (and the Spanish locale they run
# in, made from the sources in locales; Wine's own fonts for the screenshots), Xvfb for the
# desktop program's tests, NSIS for the installer; the tests' own tools as above.
windows=(
  cmake make g++-mingw-w64-x86-64-posix mingw-w64-tools
  libcli11-dev libgtest-dev
  wine wine64 fonts-wine locales xvfb xauth nsis
  fpc fp-units-db libxml2-utils python3
)

case "${1:-all}" in
  windows) packages=("${windows[@]}") ;;
  all) packages=("${linux[@]}" "${windows[@]}") ;;
  *) echo "uso: scripts/setup.sh [windows]" >&2; exit 64 ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Instalando: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
