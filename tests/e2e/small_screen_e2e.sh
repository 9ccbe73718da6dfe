#!/bin/bash
# The real program at a scale of 2 on a 1280x1024 screen, whose 640x512 logical pixels cannot hold
# an 800x600 window: the window, frame included, starts as large as the screen and wholly on it.
#   small_screen_e2e.sh path/to/tolvane
set -u

readonly TOLVANE=$(realpath "$1")
# A bound, not a pause: a machine loaded by other builds may take tens of seconds to show a window.
readonly TIMEOUT_S=60
# The exit status ctest reads as "skipped".
readonly SKIP=77
readonly SCREEN_WIDTH=1280 SCREEN_HEIGHT=1024 SCALE=2
# The frame's extents are physical pixels; Qt takes them off in logical ones, which may round each
# dimension by one logical pixel.
readonly ROUNDING_PX=$SCALE
export LC_ALL=C.UTF-8

for tool in Xvfb openbox xdotool xdpyinfo xprop xwininfo; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit "$SKIP"; }
done

TMP=$(mktemp -d)
export XDG_CONFIG_HOME="$TMP/config" XDG_RUNTIME_DIR="$TMP/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
XVFB_SCREEN="${SCREEN_WIDTH}x${SCREEN_HEIGHT}x24"
source "$(dirname "$0")/../xsession.sh"

start_x
mkdir "$TMP/work"
printf '1998\r\n' >"$TMP/work/tolvaneken.txt"
(cd "$TMP/work" && QT_SCALE_FACTOR=$SCALE exec "$TOLVANE" .) >"$TMP/app.log" 2>&1 &
APP_PID=$!
wait_for "the main window" has_window
WID=$(window)

# The outer rectangle in the screen's pixels: the client's place less the frame's extents.
outer_rectangle() {
  local extents x y width height
  extents=$(xprop -id "$WID" _NET_FRAME_EXTENTS | sed -n 's/.* = //p' | tr -d ' ')
  [ -n "$extents" ] || return 1
  IFS=, read -r left right top bottom <<<"$extents"
  x=$(xwininfo -id "$WID" | awk '/Absolute upper-left X/ {print $NF}')
  y=$(xwininfo -id "$WID" | awk '/Absolute upper-left Y/ {print $NF}')
  width=$(xwininfo -id "$WID" | awk '/Width:/ {print $NF}')
  height=$(xwininfo -id "$WID" | awk '/Height:/ {print $NF}')
  echo "$((x - left)) $((y - top)) $((width + left + right)) $((height + top + bottom))"
}
fills_the_screen() {
  local x y width height
  read -r x y width height <<<"$(outer_rectangle)"
  [ -n "$height" ] && [ "$x" -ge 0 ] && [ "$y" -ge 0 ] && [ $((x + width)) -le "$SCREEN_WIDTH" ] &&
    [ $((y + height)) -le "$SCREEN_HEIGHT" ] && [ "$width" -ge $((SCREEN_WIDTH - ROUNDING_PX)) ] &&
    [ "$height" -ge $((SCREEN_HEIGHT - ROUNDING_PX)) ]
}
succeeds_within "$TIMEOUT_S" fills_the_screen ||
  fail "the window does not fill the screen without passing it: x y width height $(outer_rectangle)"
exit_through_menu
[ "$status" = 0 ] || fail "the program ended with status $status"
echo "PASS"
