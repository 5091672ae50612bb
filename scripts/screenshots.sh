#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Takes the screenshots of docs/ under Xvfb: the window after a search, the second and third
# pattern tabs with the history menu, the settings menu, the tally compared with chance, the
# window on a 1024x600 screen and at double scale on a 1366x768 screen, the window under a dark
# theme, the file dialog in Chinese, the 回测 window, the trend chart and its figures with a tip, the
# help window, a long status message on a small screen, the 缩水 window and the 预测记录 window with
# its plays. Needs xvfb, xdotool, imagemagick, and qt6ct for the dark theme.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -x build/src/brenvik3d ] || { cmake --preset default && cmake --build --preset default; }
work=$(mktemp -d)
# A step that fails leaves no server or window behind to catch the next run's shots.
trap 'jobs -p | xargs -r kill 2>/dev/null || true; rm -rf "$work"' EXIT
export BRENVIK3D_HOME="$work/data" XDG_CONFIG_HOME="$work/config" DISPLAY=:97
./build/src/brenvik3d-cli import samples/fc3d-history.txt >/dev/null

# named_window PATTERN: the first window whose title matches PATTERN, waiting up to 20 s for it.
# xdotool's own --name reads the legacy title, which Qt sets as UTF-8 labelled Latin-1, so it
# never matches Chinese; getwindowname reads the UTF-8 one.
named_window() {
  local i w
  for i in $(seq 100); do
    for w in $(xdotool search --name . 2>/dev/null); do
      xdotool getwindowname "$w" | grep -q -- "$1" && { echo "$w"; return; }
    done
    sleep 0.2
  done
  echo "no window titled $1" >&2
  return 1
}

# shot FILE SCREEN SCALE CROP [xdotool steps...]; CROP is WxH of the screen's top left, WINDOW for
# the main window, or the start of another window's title: "NAME:回测 — ".
shot() {
  local out=$1 screen=$2 scale=$3 crop=$4; shift 4
  Xvfb :97 -screen 0 "${screen}x24" >/dev/null 2>&1 & local xvfb=$!
  sleep 1
  kill -0 "$xvfb" || { echo "Xvfb could not start on :97" >&2; exit 1; }
  QT_SCALE_FACTOR=$scale ./build/src/brenvik3d >/dev/null 2>&1 & local app=$!
  sleep 2.5
  local win; win=$(named_window '^Brenvik 3D')
  xdotool windowfocus --sync "$win"
  for step in "$@"; do eval "xdotool $step"; sleep 0.8; done
  if [ "$crop" = WINDOW ]; then
    import -window "$win" "$out"
  elif [[ "$crop" = NAME:* ]]; then
    import -window "$(named_window "${crop#NAME:}")" "$out"
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
# Without qt6ct the window would come out light: the picture there is kept.
if [ -e "$(qtpaths6 --query QT_INSTALL_PLUGINS)/platformthemes/libqt6ct.so" ]; then
  QT_QPA_PLATFORMTHEME=qt6ct shot docs/screenshot-dark.png 1400x900 1 WINDOW 'key alt+s'
else
  echo "qt6ct is not installed: docs/screenshot-dark.png is left as it is." >&2
fi
# The import's question has 取消 as its default button: Shift+Tab goes to 确定.
shot docs/screenshot-file-dialog.png 1024x600 1 1024x600 'key alt+w' 'key shift+Tab' 'key space'
# Fixed position 1 alone, backtested through the whole history with 20 twins.
shot docs/screenshot-backtest.png 1366x768 1 'NAME:回测 — ' 'mousemove 331 92 click 1' \
  'mousemove 440 310 click 1' 'mousemove 551 310 click 1' 'key alt+b' \
  "windowfocus --sync \$(named_window '^回测 — ') key alt+r" 'sleep 4'
# The trend chart of the last 100 draws, in its own window over the main one.
shot docs/screenshot-trend.png 1366x768 1 'NAME:^走势图 — ' 'key alt+z'
# The manual in the program's own help window (F1), its first picture in view.
shot docs/screenshot-help.png 1366x768 1 'NAME:^Brenvik 3D 使用说明' 'key F1'

# root_shot FILE SCREEN CROP(WxH+X+Y) [xdotool steps...]: the whole screen, tips included, cropped.
root_shot() {
  local out=$1 screen=$2 crop=$3; shift 3
  Xvfb :97 -screen 0 "${screen}x24" >/dev/null 2>&1 & local xvfb=$!
  sleep 1
  kill -0 "$xvfb" || { echo "Xvfb could not start on :97" >&2; exit 1; }
  ./build/src/brenvik3d >/dev/null 2>&1 & local app=$!
  sleep 2.5
  xdotool windowfocus --sync "$(named_window '^Brenvik 3D')"
  for step in "$@"; do eval "xdotool $step"; sleep 0.8; done
  sleep 2
  import -window root "$work/shot.png"
  convert "$work/shot.png" -crop "$crop" +repage "$out"
  kill "$app" "$xvfb"; wait 2>/dev/null || true
}
# The figures under the trend chart, with the tip of the sums' counts.
root_shot docs/screenshot-trend-footer.png 1366x768 760x620+606+60 'key alt+z' 'mousemove 936 570'
# A status message longer than its room on a 1024x600 screen, beside a data folder of the usual
# depth: the limit of the chosen-issue tab ticked, then the first tab chosen; the tip holds it all.
home=$BRENVIK3D_HOME
export BRENVIK3D_HOME="$work/home/zhangwei/.local/share/Brenvik3D/Brenvik3D"
mkdir -p "$BRENVIK3D_HOME"
cp "$home/kestrel3D.mdb" "$BRENVIK3D_HOME/"
root_shot docs/screenshot-status-1024x600.png 1024x600 1024x600+0+0 'mousemove 522 278 click 1' \
  'mousemove 409 337 click --repeat 3 1' 'key ctrl+a type 2025100' 'key Tab' 'mousemove 462 337 click 1' \
  'mousemove 355 278 click 1' 'mousemove 200 589'
export BRENVIK3D_HOME=$home

# The 缩水 window over the main one: a follow search, then sums 10 to 17, 组三 and 组六 ticked with
# the keyboard, and 定位 of position 1 from the search's top three outcomes.
filter_shot() {
  Xvfb :97 -screen 0 1366x768x24 >/dev/null 2>&1 & local xvfb=$!
  sleep 1
  ./build/src/brenvik3d >/dev/null 2>&1 & local app=$!
  sleep 2.5
  xdotool windowfocus --sync "$(named_window '^Brenvik 3D')" key alt+s key alt+f
  sleep 1.5
  local win; win=$(named_window '^缩水 — ')
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
xdotool windowfocus --sync "$(named_window '^Brenvik 3D')" key alt+y key Return
sleep 1.5
import -window "$(named_window '^预测记录')" docs/screenshot-logbook.png
kill "$app" "$xvfb"
wait 2>/dev/null || true
