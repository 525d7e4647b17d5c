#!/usr/bin/env bash
# Builds Quorvane (release) and starts it, installing only the Debian packages
# that building and running need. Run it as yourself: it calls sudo only when a
# package is missing. Without a display it starts a virtual one (Xvfb) and says so.
set -euo pipefail
cd "$(dirname "$0")/.."

groups=(build runtime)
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then groups+=(display); fi
[ -n "${QV_DEPS_DONE:-}" ] || scripts/deps.sh "${groups[@]}"

# Started with sudo: the packages are in; build and run as the user who asked,
# so that no build tree belongs to root.
if [ "$(id -u)" -eq 0 ] && [ -n "${SUDO_USER:-}" ] && [ "$SUDO_USER" != root ]; then
  exec sudo -u "$SUDO_USER" --preserve-env=DISPLAY,XAUTHORITY,WAYLAND_DISPLAY,XDG_RUNTIME_DIR,XDG_SESSION_TYPE \
    env QV_DEPS_DONE=1 "$0" "$@"
fi
if [ -e build/release ] && [ ! -O build/release ]; then
  echo "build/release belongs to $(stat -c %U build/release) (an earlier run with sudo?)." >&2
  echo "Remove it with:  sudo rm -rf build/release   and run this command again." >&2
  exit 1
fi

cmake --preset release >/dev/null
cmake --build --preset release --target quorvane
exe=build/release/app/quorvane
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found (DISPLAY is not set): starting Quorvane on a virtual Xvfb screen."
  echo "To see the window, run this from a desktop session, or connect a VNC viewer to the Xvfb screen."
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$exe" "$@"
fi
exec "$exe" "$@"
