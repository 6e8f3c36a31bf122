#!/usr/bin/env bash
# Renders the application icon dist/icons/vexol.svg into the pixel sizes the desktop
# uses (dist/icons/NxN/vexol.png); 16 pixels come from their own drawing,
# dist/icons/vexol-16.svg. Run by hand after changing the drawing and commit
# the results; the build only installs them. Needs rsvg-convert (Debian: librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v rsvg-convert >/dev/null; then
  echo "render-icons.sh: rsvg-convert is missing; install the Debian package librsvg2-bin" >&2
  exit 1
fi
for size in 16 32 48 64 128; do
  mkdir -p "dist/icons/${size}x${size}"
  source=dist/icons/vexol.svg
  if [ "$size" -eq 16 ]; then
    source=dist/icons/vexol-16.svg
  fi
  rsvg-convert --width "$size" --height "$size" --output "dist/icons/${size}x${size}/vexol.png" \
    "$source"
done
echo "Rendered dist/icons/{16,32,48,64,128}x*/vexol.png"
