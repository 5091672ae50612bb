#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Renders the PNG sizes of the application icon from its SVG. The PNGs are committed, so a build
# needs no SVG renderer; run this again after changing the SVG. Needs librsvg2-bin.
set -euo pipefail
cd "$(dirname "$0")/../data/icons/hicolor"
id=io.github.brenvik.brenvik3d
for size in 16 32 48 64 128 256; do
  mkdir -p "${size}x${size}/apps"
  rsvg-convert -w "$size" -h "$size" "scalable/apps/$id.svg" -o "${size}x${size}/apps/$id.png"
done
