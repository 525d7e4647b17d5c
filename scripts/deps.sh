#!/usr/bin/env bash
# Installs the Debian 12 packages Quorvane needs, by purpose:
#   runtime  what the program needs to run (its libraries come with the build packages)
#   build    what building the program needs
#   display  a virtual screen, for machines without a display
#   test     what the tests, the sanitizer builds, the checks and the package build need
# `scripts/deps.sh build runtime` installs those groups; without arguments, all.
# Only missing packages are installed, so a prepared machine goes on at once;
# sudo is called only then, and only when not root already.
set -euo pipefail

# The echo falls back on the ping program where ICMP sockets are not allowed.
runtime=(fonts-liberation2 fonts-dejavu-core iputils-ping)
build=(build-essential cmake ninja-build pkg-config qt6-base-dev libsqlite3-dev libpng-dev libcanberra-dev
  libxcb1-dev libfreetype-dev libfontconfig-dev)
display=(xvfb xauth)
test=(libgtest-dev libgmock-dev libbenchmark-dev xdotool x11-apps x11-utils openbox imagemagick locales
  clang-format sqlite3 libgif-dev xclip clang libclang-rt-14-dev desktop-file-utils appstream dpkg-dev
  libxcb-xtest0-dev iproute2)

groups=("$@")
((${#groups[@]})) || groups=(runtime build display test)
packages=()
for group in "${groups[@]}"; do
  case "$group" in
    runtime) packages+=("${runtime[@]}") ;;
    build) packages+=("${build[@]}") ;;
    display) packages+=("${display[@]}") ;;
    test) packages+=("${test[@]}") ;;
    *) echo "deps.sh: unknown group '$group' (runtime, build, display, test)" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
((${#missing[@]})) || exit 0

echo "Installing: ${missing[*]}"
install=(env DEBIAN_FRONTEND=noninteractive apt-get)
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null 2>&1; then
    echo "These Debian packages are missing and sudo is not available. As root, run:" >&2
    echo "  apt-get update && apt-get install --no-install-recommends ${missing[*]}" >&2
    echo "then run this command again." >&2
    exit 1
  fi
  install=(sudo "${install[@]}")
fi
if ! { "${install[@]}" update -qq && "${install[@]}" install -y -qq --no-install-recommends "${missing[@]}"; }; then
  echo "Installing the packages failed. As root, run:" >&2
  echo "  apt-get update && apt-get install --no-install-recommends ${missing[*]}" >&2
  exit 1
fi
