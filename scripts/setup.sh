#!/usr/bin/env bash
# Installs every build and test dependency from Debian packages. Does nothing when all is there.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libpugixml-dev libcli11-dev libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-translations-l10n xvfb xauth x11-utils fonts-liberation2
  fpc fp-units-db fp-units-misc fp-utils
  libxml2-utils python3
  libchm-bin g++-mingw-w64-x86-64-posix wine
)

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
