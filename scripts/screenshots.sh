#!/usr/bin/env bash
# Takes the screenshots of docs/ under Xvfb: the window after a search, the second and third
# pattern tabs with the history menu, and the settings menu. Needs xvfb, xdotool, imagemagick.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -x build/src/brenvik3d ] || { cmake --preset default && cmake --build --preset default; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export BRENVIK3D_HOME="$work/data" XDG_CONFIG_HOME="$work/config" DISPLAY=:97
./build/src/brenvik3d-cli import samples/fc3d-history.txt >/dev/null

shot() { # shot FILE ROOT|WINDOW HEIGHT [xdotool steps...]
  local out=$1 what=$2 height=$3; shift 3
  Xvfb :97 -screen 0 1400x900x24 >/dev/null 2>&1 & local xvfb=$!
  sleep 1
  ./build/src/brenvik3d >/dev/null 2>&1 & local app=$!
  sleep 2.5
  local win; win=$(xdotool search --name '^Brenvik 3D' | head -1)
  for step in "$@"; do eval "xdotool $step"; sleep 0.8; done
  if [ "$what" = ROOT ]; then import -window root "$work/shot.png"; else import -window "$win" "$work/shot.png"; fi
  convert "$work/shot.png" -crop "1180x${height}+0+0" +repage "$out"
  kill "$app" "$xvfb"; wait 2>/dev/null || true
}

shot docs/screenshot.png WINDOW 760 'mousemove 483 452 click 1'
shot docs/screenshot-tab2.png WINDOW 760 'mousemove 438 278 click 1' 'mousemove 400 311 click 1 type 5' \
  'mousemove 510 311 click 1 type 2' 'mousemove 620 311 click 1 type 5'
shot docs/screenshot-tab3.png ROOT 760 'mousemove 522 278 click 1' 'mousemove 483 452 click 1' 'mousemove 150 300 click 3'
shot docs/screenshot-settings-menu.png ROOT 860 'mousemove 601 715 click 1' 'mousemove 650 640'
