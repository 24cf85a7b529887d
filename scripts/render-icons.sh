#!/usr/bin/env bash
# Renders the application icon's PNG sizes from the scalable one, into the hicolor layout under
# resources/icons that `cmake --install` copies. Run it after changing the SVG and commit the PNGs
# with it; the build itself needs no SVG renderer. Needs rsvg-convert (Debian: librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/../resources/icons/hicolor"
command -v rsvg-convert >/dev/null || { echo "render-icons.sh: needs rsvg-convert (apt-get install librsvg2-bin)" >&2; exit 1; }
for svg in scalable/apps/*.svg; do
  name=$(basename "$svg" .svg)
  for size in 16 22 24 32 48 64 128 256 512; do
    mkdir -p "${size}x${size}/apps"
    rsvg-convert --width "$size" --height "$size" "$svg" --output "${size}x${size}/apps/$name.png"
  done
done
