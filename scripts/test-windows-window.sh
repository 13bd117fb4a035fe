#!/usr/bin/env bash
# Tests pelmoro.exe, the window on Windows, under Wine on a virtual display
# (Xvfb), driven with xdotool as a person drives it: the keyboard types the
# pitch and the names into the file dialogs, the mouse presses Stop and Exit.
# What the window and its boxes say is read with window_texts.exe. First the
# window's own tests (winapp_tests.exe: its parts, and Form1's controls,
# places, tab order and keys). Then each case starts the program afresh and
# ends it with its Exit button:
#   - the idle window: its controls' texts, and a screenshot of it kept as
#     build-windows/pelmoro-idle.png;
#   - a run to its end: "Complate !" and the map stl2hzm.exe makes;
#   - a stop during a run: "Break !" and the first rows of that map, whole;
#   - a refused pitch: its message box, and no dialog;
#   - a missing input: the Japanese error box, and no output left.
# Called by scripts/test-windows.sh once the Windows build is there.
#
#   scripts/test-windows-window.sh [BUILD_DIR]   default build-windows
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-"$root/build-windows"}" && pwd)
pelmoro="$build/winapp/pelmoro.exe"
stl2hzm="$build/cli/stl2hzm.exe"
texts_exe="$build/tests/windows/window_texts.exe"

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8 LANG=C.UTF-8
export WINEPREFIX DISPLAY
WINEPREFIX=$(mktemp -d)
work=$(mktemp -d)
wine=/usr/lib/wine/wine64
xvfb=
cleanup() {
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; fi
  rm -rf "$WINEPREFIX" "$work"
}
trap cleanup EXIT

check_label=test-windows-window
# shellcheck source=tests/windows/checks.sh
source "$root/tests/windows/checks.sh"

# A display of its own: Xvfb picks a free number and writes it.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
# until CONDITION...: true once the command succeeds, within a minute.
until_true() {
  local _
  for _ in $(seq 1 300); do
    if "$@" 2>/dev/null; then return 0; fi
    sleep 0.2
  done
  return 1
}
until_true test -s "$work/display" || {
  echo "test-windows-window: Xvfb did not start" >&2
  exit 1
}
DISPLAY=:$(head -1 "$work/display")

# The Windows name of a file here (Wine's drive Z: is the root).
windows_name() { printf 'Z:%s' "${1//\//\\}"; }
# window TITLE: the X window, mapped, of the top-level window with exactly
# TITLE.
window() {
  local id
  for id in $(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null); do
    if [ "$(xdotool getwindowname "$id")" = "$1" ]; then
      echo "$id"
      return 0
    fi
  done
  return 1
}
# texts TITLE: the classes and texts of the windows captioned TITLE.
texts() { "$wine" "$texts_exe" "$1" | tr -d '\r'; }
# shows TITLE PATTERN: a window captioned TITLE has a text matching PATTERN.
shows() { texts "$1" | grep -q -- "$2"; }
# focus TITLE: the keyboard goes to that window (once it is mapped).
focus() { until_true xdotool windowfocus --sync "$(window "$1")"; }
# type_into TITLE TEXT: types TEXT into the window's focused control.
type_into() {
  focus "$1"
  xdotool type --delay 5 -- "$2"
}
# press TITLE KEY...: presses the keys in the window.
press() {
  focus "$1"
  xdotool key "${@:2}"
}
# click_form LEFT TOP: a click at a point of Form1 as designed (the window
# scaled by its font: its client width over the designed 313 px).
click_form() {
  local id width height
  id=$(window PELMORO)
  eval "$(xdotool getwindowgeometry --shell "$id")"
  width=$WIDTH
  height=$HEIGHT
  xdotool mousemove --window "$id" $(($1 * width / 313)) $(($2 * height / 243)) click 1
}
# start: the program, idle, with its pitch field focused and selected.
program=
start() {
  "$wine" "$pelmoro" >>"$work/pelmoro.log" 2>&1 &
  program=$!
  until_true window PELMORO >/dev/null && until_true shows PELMORO '|Convert|Exit|'
}
# finish LABEL: Exit (Button2) ends the program.
finish() {
  click_form 264 212
  if until_true test ! -d "/proc/$program"; then pass; else fail "$1: Exit did not end the program"; fi
  wait "$program" 2>/dev/null || true
}
# convert INPUT OUTPUT: Convert, the input in the open dialog, the output in
# the save dialog (in place of the proposed name).
convert() {
  press PELMORO Return
  until_true window Open >/dev/null || return 1
  type_into Open "$(windows_name "$1")"
  press Open Return
  until_true window "Save As" >/dev/null || return 1
  press "Save As" ctrl+a
  type_into "Save As" "$(windows_name "$2")"
  press "Save As" Return
}
# box_is TEXT: the message box (caption pelmoro) shows exactly TEXT (its
# icon, none or the stop sign, has no text).
box_is() { [ "$(texts pelmoro)" = "#32770||OK|$1" ]; }
# box_says LABEL TEXT: the box shows TEXT; OK closes it and the window is
# idle again.
box_says() {
  if until_true box_is "$2"; then pass; else
    fail "$1: no box saying $2 ($(texts pelmoro 2>&1))"
    return
  fi
  press pelmoro Return
  if until_true shows PELMORO '|Convert|Exit|'; then pass; else fail "$1: not idle after the box"; fi
}

cp "$root/examples/relief.stl" "$work/relief.stl"
# A model whose map takes seconds to write: the relief five times larger,
# a 4,000 x 4,000 lattice at 0.025 mm.
python3 - "$work/relief.stl" "$work/large.stl" <<'EOF'
import re
import sys
text = open(sys.argv[1]).read()
scale = lambda m: "vertex " + " ".join(f"{5 * float(v):.3f}" for v in m.group(1).split())
open(sys.argv[2], "w").write(re.sub(r"vertex ([^\n]*)", scale, text))
EOF

echo "test-windows-window: the window's own tests"
if "$wine" "$build/tests/windows/winapp_tests.exe" --gtest_brief=1 >"$work/winapp_tests.log" 2>&1; then
  pass
  grep -h '^\[  PASSED  \]' "$work/winapp_tests.log" | sed 's/^/  winapp_tests: /'
else
  fail "winapp_tests"
  cat "$work/winapp_tests.log" >&2
fi

echo "test-windows-window: the idle window"
start || fail "the window never came up"
notice=$'Pitch 0.025 to 6.375 mm\nSurface: first in file'
want="TForm1|mm|STL to HZM converter|Mesh size|$notice|0.1|Convert|Exit||Surface"
if [ "$(texts PELMORO)" = "$want" ]; then pass; else fail "idle texts: $(texts PELMORO)"; fi
xwd -silent -id "$(window PELMORO)" >"$work/idle.xwd"
python3 "$root/tools/xwd_to_png.py" "$work/idle.xwd" "$build/pelmoro-idle.png"
if [ "$(head -c 4 "$build/pelmoro-idle.png" | od -An -c | tr -d ' ')" = '211PNG' ]; then pass; else
  fail "no screenshot"
fi
finish "idle"

echo "test-windows-window: a run to its end"
(cd "$work" && "$wine" "$stl2hzm" -q --pitch 0.5 relief.stl -o expected.hzm)
start
type_into PELMORO 0.5
press PELMORO Return
until_true window Open >/dev/null || fail "no open dialog"
type_into Open "$(windows_name "$work/relief.stl")"
press Open Return
until_true window "Save As" >/dev/null || fail "no save dialog"
# The output's name proposed after the input's.
if until_true shows "Save As" '|relief\.hzm|'; then pass; else fail "proposed: $(texts 'Save As')"; fi
press "Save As" ctrl+a
type_into "Save As" "$(windows_name "$work/window")"
press "Save As" Return
box_says "complete run" "Complate !"
cmp -s "$work/expected.hzm" "$work/window.hzm" && pass || fail "the window's map differs from stl2hzm.exe's"
finish "complete run"

echo "test-windows-window: a stop during a run"
(cd "$work" && "$wine" "$stl2hzm" -q --pitch 0.025 large.stl -o large-expected.hzm)
start
type_into PELMORO 0.025
convert "$work/large.stl" "$work/large.hzm" || fail "stop: a dialog did not open"
until_true shows PELMORO '|Stop|' || fail "stop: the run never showed Stop"
click_form 264 212
box_says "stopped run" "Break !"
size=$(stat -c %s "$work/large.hzm" 2>/dev/null || echo 0)
# Whole rows, the first rows of the complete map, and not all of them.
if [ "$(tail -c 3 "$work/large.hzm" | od -An -c | tr -d ' ')" = 'S\r\n' ] &&
  cmp -s -n "$size" "$work/large.hzm" "$work/large-expected.hzm" &&
  [ "$size" -lt "$(stat -c %s "$work/large-expected.hzm")" ]; then
  pass
else
  fail "stopped: $size bytes, not the first whole rows of the map"
fi
finish "stopped run"

echo "test-windows-window: a refused pitch"
start
type_into PELMORO 9
press PELMORO Return
box_says "refused pitch" $'Error!\n0.025 < Pitch < 6.375'
if texts pelmoro >/dev/null 2>&1 || window Open >/dev/null; then fail "refused pitch: a window left"; else pass; fi
finish "refused pitch"

echo "test-windows-window: a missing input"
start
convert "$work/missing.stl" "$work/missing-out" || fail "missing input: a dialog did not open"
box_says "missing input" "ファイルが見つかりません."
if [ ! -e "$work/missing-out.hzm" ]; then pass; else fail "missing input: an output left"; fi
finish "missing input"

echo "test-windows-window: $passed checks passed, $failed failed"
[ "$failed" -eq 0 ]
