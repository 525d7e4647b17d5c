#!/usr/bin/env bash
# Installs the Debian 12 packages Quorvane needs to build, run and test.
# Only missing packages are installed, so a prepared machine goes on at once.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libsqlite3-dev sqlite3
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xdotool x11-apps x11-utils openbox imagemagick
  locales clang-format fonts-liberation2
  libpng-dev libcanberra-dev libgif-dev iputils-ping xclip libxcb1-dev
  libfreetype-dev libfontconfig-dev fonts-dejavu-core iproute2
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
