#!/bin/bash
# Takes docs/screenshot.png: the window after a Japanese search of the sample bibliography, in a
# private X server (no window manager, so no title bar).
#   docs/take_screenshot.sh BUILD_DIR    (after: cmake --build BUILD_DIR --target tolvane sample_bibliography)
set -eu
BUILD=$(realpath "$1")
OUT=$(realpath "$(dirname "$0")")/screenshot.png
export LC_ALL=C.UTF-8
TMP=$(mktemp -d)
export XDG_CONFIG_HOME="$TMP/config"  # not remembered as the user's last folder
source "$(dirname "$0")/../tests/xsession.sh"
start_x --bare

mkdir "$TMP/run"
cp "$BUILD/run/tolvaneken.txt" "$TMP/run/"
(cd "$TMP/run" && exec "$BUILD/app/tolvane") >"$TMP/app.log" 2>&1 &
APP_PID=$!
wait_for "the main window" has_window
WID=$(window)
sleep 1  # the first paint
xdotool windowfocus --sync "$WID"
type_text "近世 研究"
xdotool key Return
until xdotool getwindowname "$WID" | grep -q '^件数'; do sleep 0.1; done
sleep 0.5
echo "caption: $(xdotool getwindowname "$WID")"
import -window root -crop 800x600+0+0 +repage "$OUT"
echo "wrote $OUT"
