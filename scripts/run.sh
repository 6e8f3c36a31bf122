#!/usr/bin/env bash
# Sets up, builds and starts Vexol. Without a display it runs under a virtual one
# (xvfb-run) and leaves a screenshot in build/vexol-screenshot.png.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec ./build/vexol "$@"
fi
echo "No display found: running under xvfb-run; the screenshot goes to build/vexol-screenshot.png"
exec xvfb-run -a -s "-screen 0 1280x1024x24" env VEXOL_SCREENSHOT="$PWD/build/vexol-screenshot.png" ./build/vexol "$@"
