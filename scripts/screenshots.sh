#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Takes the screenshots of docs/ under Xvfb: the window after a search, the second and third
# pattern tabs with the history menu, the settings menu, the tally compared with chance, the
# window on a 1024x600 screen and at double scale on a 1366x768 screen, the window under a dark
# theme, the file dialog in Chinese, the 回测 window, the trend chart, the 缩水 window and the
# 预测记录 window with its plays. Needs xvfb, xdotool, imagemagick, and qt6ct for the dark theme.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -x build/src/brenvik3d ] || { cmake --preset default && cmake --build --preset default; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export BRENVIK3D_HOME="$work/data" XDG_CONFIG_HOME="$work/config" DISPLAY=:97
./build/src/brenvik3d-cli import samples/fc3d-history.txt >/dev/null

# The visible window whose title starts with $1. xdotool's own --name search reads the old title
# property, in which a Chinese title does not match.
titled() {
  local w
  for w in $(xdotool search --onlyvisible --name . 2>/dev/null); do
    [[ "$(xdotool getwindowname "$w" 2>/dev/null)" == "$1"* ]] && { echo "$w"; return; }
  done
}

# shot FILE SCREEN SCALE CROP [xdotool steps...]; CROP is WxH of the screen's top left, WINDOW for
# the main window, or the start of another window's title: "NAME:回测 — ".
shot() {
  local out=$1 screen=$2 scale=$3 crop=$4; shift 4
  Xvfb :97 -screen 0 "${screen}x24" >/dev/null 2>&1 & local xvfb=$!
  sleep 1
  QT_SCALE_FACTOR=$scale ./build/src/brenvik3d >/dev/null 2>&1 & local app=$!
  sleep 2.5
  local win; win=$(xdotool search --name '^Brenvik 3D' | head -1)
  xdotool windowfocus --sync "$win"
  for step in "$@"; do eval "xdotool $step"; sleep 0.8; done
  if [ "$crop" = WINDOW ]; then
    import -window "$win" "$out"
  elif [[ "$crop" = NAME:* ]]; then
    import -window "$(titled "${crop#NAME:}")" "$out"
  else
    import -window root "$work/shot.png"
    convert "$work/shot.png" -crop "${crop}+0+0" +repage "$out"
  fi
  kill "$app" "$xvfb"; wait 2>/dev/null || true
}

shot docs/screenshot.png 1400x900 1 WINDOW 'key alt+s'
shot docs/screenshot-tab2.png 1400x900 1 WINDOW 'mousemove 438 278 click 1' 'mousemove 400 311 click 1 type 5' \
  'mousemove 510 311 click 1 type 2' 'mousemove 620 311 click 1 type 5' 'key Return'
shot docs/screenshot-tab3.png 1400x900 1 1180x760 'mousemove 522 278 click 1' 'key alt+s' 'mousemove 150 300 click 3'
shot docs/screenshot-settings-menu.png 1180x760 1 1180x760 'key alt+t' 'key Down Down Down'
# Two searches, so that the verdict shares its level between them.
shot docs/screenshot-chance.png 1366x768 1 WINDOW 'mousemove 448 186 click 1' 'key alt+s' 'mousemove 448 161 click 1' \
  'key alt+s'
# On a small or doubled screen the results come under the options, and a search brings them
# into view.
shot docs/screenshot-1024x600.png 1024x600 1 1024x600 'key alt+s'
shot docs/screenshot-2x-1366x768.png 1366x768 2 1366x768 'key alt+s'
# A dark desktop theme, as qt6ct gives one to Qt programs outside a desktop that has its own.
mkdir -p "$XDG_CONFIG_HOME/qt6ct"
cat >"$XDG_CONFIG_HOME/qt6ct/qt6ct.conf" <<'CONF'
[Appearance]
color_scheme_path=/usr/share/qt6ct/colors/darker.conf
custom_palette=true
style=Fusion

[Fonts]
general="Sans Serif,9,-1,5,50,0,0,0,0,0"
fixed="Monospace,9,-1,5,50,0,0,0,0,0"
CONF
QT_QPA_PLATFORMTHEME=qt6ct shot docs/screenshot-dark.png 1400x900 1 WINDOW 'key alt+s'
# The import's question has 取消 as its default button: Shift+Tab goes to 确定.
shot docs/screenshot-file-dialog.png 1024x600 1 1024x600 'key alt+w' 'key shift+Tab' 'key space'
# Fixed position 1 alone, backtested through the whole history with 20 twins.
shot docs/screenshot-backtest.png 1366x768 1 'NAME:回测 — ' 'mousemove 331 92 click 1' \
  'mousemove 440 310 click 1' 'mousemove 551 310 click 1' 'key alt+b' \
  "windowfocus --sync \$(titled '回测 — ') key alt+r" 'sleep 4'
# The trend chart of the last 100 draws, in its own window over the main one.
shot docs/screenshot-trend.png 1366x768 1 'NAME:走势图 — ' 'key alt+z'

# The 缩水 window over the main one: a follow search, then sums 10 to 17, 组三 and 组六 ticked with
# the keyboard, and 定位 of position 1 from the search's top three outcomes.
filter_shot() {
  Xvfb :97 -screen 0 1366x768x24 >/dev/null 2>&1 & local xvfb=$!
  sleep 1
  ./build/src/brenvik3d >/dev/null 2>&1 & local app=$!
  sleep 2.5
  xdotool windowfocus --sync "$(xdotool search --name '^Brenvik 3D' | head -1)" key alt+s key alt+f
  sleep 1.5
  local win; win=$(titled '缩水 — ')
  xdotool windowfocus --sync "$win" key alt+h type '10-17'
  xdotool key Tab Tab Tab space Tab space alt+q
  sleep 1
  xdotool key Return
  sleep 1.5
  import -window "$win" docs/screenshot-filter.png
  kill "$app" "$xvfb"; wait 2>/dev/null || true
}
filter_shot

# The 预测记录 window: a prediction and a play of 缩水 recorded before each of the last 40 draws, the
# last three not drawn yet.
export BRENVIK3D_HOME="$work/logbook"
head -n -40 samples/fc3d-history.txt >"$work/older.txt"
./build/src/brenvik3d-cli import "$work/older.txt" >/dev/null
ways=("" "--positions fixed --check 1,2 --pick 3" "--back 2 --result-pos 3 --pick 2"
      "--search combo --size 2 --type bigsmall --result-type bigsmall --result-pos 2")
plays=("--sum 10-17 --form zusan,zuliu --ticket group" "--sum 12-15 --kill 0" "--span 4-7 --dan 3 --ticket group")
i=0
while read -r issue digits; do
  # shellcheck disable=SC2086 # the options of one way
  ./build/src/brenvik3d-cli log add --issue "$issue" ${ways[i % 4]} >/dev/null
  # shellcheck disable=SC2086
  ./build/src/brenvik3d-cli log play --issue "$issue" ${plays[i % 3]} >/dev/null
  [ $((i += 1)) -gt 37 ] || ./build/src/brenvik3d-cli add "$issue" "$digits" >/dev/null
done < <(tail -n 40 samples/fc3d-history.txt | tr -d '\r')
Xvfb :97 -screen 0 1366x768x24 >/dev/null 2>&1 &
xvfb=$!
sleep 1
./build/src/brenvik3d >/dev/null 2>&1 &
app=$!
sleep 2.5
xdotool windowfocus --sync "$(xdotool search --name '^Brenvik 3D' | head -1)" key alt+y key Return
sleep 1.5
import -window "$(titled 预测记录)" docs/screenshot-logbook.png
kill "$app" "$xvfb"
wait 2>/dev/null || true
