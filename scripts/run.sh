#!/usr/bin/env bash
# Builds Quorvane (release) and starts it. Without a display it starts a
# virtual one (Xvfb) and says so.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target quorvane
exe=build/release/app/quorvane
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found (DISPLAY is not set): starting Quorvane on a virtual Xvfb screen."
  echo "To see the window, run this from a desktop session, or connect a VNC viewer to the Xvfb screen."
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$exe" "$@"
fi
exec "$exe" "$@"
