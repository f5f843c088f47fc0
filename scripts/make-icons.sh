#!/usr/bin/env bash
# Renders the application icon's PNG sizes from its SVG (needs rsvg-convert, librsvg2-bin). The
# PNGs are committed, so a build does not need the renderer; run this after changing the SVG.
set -euo pipefail
cd "$(dirname "$0")/../data/icons/hicolor"
for size in 16 24 32 48 64 128 256 512; do
    mkdir -p "${size}x${size}/apps"
    rsvg-convert -w "$size" -h "$size" scalable/apps/org.kalder.Kalder.svg \
        -o "${size}x${size}/apps/org.kalder.Kalder.png"
done
