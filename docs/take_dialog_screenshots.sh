#!/bin/bash
# Takes docs/dialogs-ja.png: the open dialog (Ctrl+O), the editor dialog (File menu) and the query
# box's context menu, side by side, as a desktop with a window manager shows them. Needs Xvfb,
# openbox, xdotool and imagemagick.
#   docs/take_dialog_screenshots.sh BUILD_DIR    (after: cmake --build BUILD_DIR --target tolvane sample_bibliography)
set -eu
BUILD=$(realpath "$1")
OUT=$(realpath "$(dirname "$0")")/dialogs-ja.png
export LC_ALL=C.UTF-8  # not a Japanese locale: Qt's texts are Japanese all the same
TMP=$(mktemp -d)
export XDG_CONFIG_HOME="$TMP/config"  # not remembered as the user's last folder
source "$(dirname "$0")/../tests/xsession.sh"
start_x

mkdir "$TMP/run"
cp "$BUILD/run/tolvaneken.txt" "$TMP/run/"
(cd "$TMP/run" && exec "$BUILD/app/tolvane") >"$TMP/app.log" 2>&1 &
APP_PID=$!
wait_for "the main window" has_window
WID=$(window)
sleep 1  # the first paint
xdotool windowfocus --sync "$WID"

# Waits for a second visible window of the program (a dialog) and lets it draw.
dialog_up() {
  until [ "$(xdotool search --onlyvisible --pid "$APP_PID" 2>/dev/null | wc -l)" -ge 2 ]; do sleep 0.1; done
  sleep 1
}
shot() { import -window root -crop 1024x720+0+0 +repage "$TMP/$1.png"; }

xdotool key ctrl+o
dialog_up
shot 1-open
xdotool key Escape
sleep 0.5
xdotool windowfocus --sync "$WID"
xdotool key alt+f
sleep 0.5
xdotool key e
dialog_up
shot 2-editor
xdotool key Escape
sleep 0.5
xdotool windowfocus --sync "$WID"
type_text "近世 研究"  # something for the menu to act on
xdotool key shift+Home
xdotool mousemove --window "$WID" 120 40 click 3
sleep 1
shot 3-context-menu
xdotool key Escape

montage "$TMP"/[123]-*.png -tile 3x1 -geometry +6+6 -background '#808080' "$OUT"
echo "wrote $OUT"
