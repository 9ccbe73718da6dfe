#!/bin/bash
# The window as a desktop user and a screen reader meet it, under a window manager on a 1280x1024
# screen, with a private session bus and the accessibility bus: the two boxes' names read through
# AT-SPI, a search's count and the no-match note sent to it as events, the note seen while the
# caption stays, and Ctrl+O's dialog large enough to read. SHOTS=folder keeps screenshots there.
#   desktop_e2e.sh path/to/tolvane
set -u

readonly TOLVANE=$(realpath "$1")
readonly TIMEOUT_S=60
readonly SKIP=77
readonly BUS_LAUNCHER=/usr/libexec/at-spi-bus-launcher
# Debian's own Python, which has the bindings, whatever python3 comes first on PATH.
readonly PYTHON=/usr/bin/python3
readonly PROBE="$(dirname "$(realpath "$0")")/atspi_probe.py"
export LC_ALL=C.UTF-8

for tool in Xvfb openbox xdotool xdpyinfo xprop xmodmap iconv dbus-run-session "$PYTHON" "$BUS_LAUNCHER"; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit "$SKIP"; }
done
"$PYTHON" -c 'import pyatspi' 2>/dev/null || { echo "SKIP: python3-pyatspi is not installed"; exit "$SKIP"; }
# A session bus of its own, so that nothing reaches the user's desktop.
if [ -z "${TOLVANE_PRIVATE_BUS:-}" ]; then
  TOLVANE_PRIVATE_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi

TMP=$(mktemp -d)
export XDG_CONFIG_HOME="$TMP/config" XDG_RUNTIME_DIR="$TMP/runtime" XDG_CACHE_HOME="$TMP/cache"
mkdir -m 700 "$XDG_RUNTIME_DIR"
XVFB_SCREEN=1280x1024x24
source "$(dirname "$0")/../xsession.sh"
PIDS=()
trap 'for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null; done; cleanup' EXIT

start_x
"$BUS_LAUNCHER" --launch-immediately >"$TMP/bus.log" 2>&1 &
PIDS+=($!)
bus_up() { dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress | grep -q unix; }
wait_for "the accessibility bus" bus_up
"$PYTHON" "$PROBE" events "$TMP/events.log" 2>"$TMP/probe.log" &
PIDS+=($!)
wait_for "the event listener" grep -q '^listening$' "$TMP/events.log"

WORK="$TMP/work"
mkdir "$WORK"
printf '%s\r\n' "山田太郎（1998）「近世日本の研究」『日本史研究』" "佐藤花子（2001）「中世京都の研究」『史林』" |
  iconv -f UTF-8 -t CP932 >"$WORK/tolvaneken.txt"

(cd "$WORK" && QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 exec "$TOLVANE") >"$TMP/app.log" 2>&1 &
APP_PID=$!
wait_for "the main window" has_window
WID=$(window)
title() { xdotool getwindowname "$WID"; }
title_starts() { case "$(title)" in "$1"*) return 0 ;; *) return 1 ;; esac; }
wait_for "the usage hint" title_starts "　空白で区切ると"
xdotool windowfocus --sync "$WID" || fail "cannot focus the window"

# --- The boxes by name, as Orca reads them.
tree_has() { "$PYTHON" "$PROBE" tree Tolvane >"$TMP/tree.txt" 2>&1 && grep -q "$1" "$TMP/tree.txt"; }
wait_for "the query box's name" tree_has '|検索語|空白で区切った語'
tree_has '|検索結果|見つかった文献' || fail "the results box has no name: $(cat "$TMP/tree.txt")"

# --- A search's count reaches the bus.
type_text "研究"
xdotool key Return
wait_for "the count caption" title_starts "件数：2"
wait_for "the count as an event" grep -q 'accessible-description|.*|検索結果|件数：2' "$TMP/events.log"

# --- A no-match: the caption stays, the note is seen and sent.
caption=$(title)
xdotool key ctrl+a
type_text "該当なし"
xdotool key Return
wait_for "the note as an alert" grep -q 'state-changed:showing|1|alert|該当する文献はありません。' "$TMP/events.log"
[ "$(title)" = "$caption" ] || fail "the caption changed to $(title)"
[ -s "$WORK/kekka.txt" ] && fail "kekka.txt is not empty"
# The window with its title bar: the caption of the earlier search above the note.
shoot() {
  [ -n "${SHOTS:-}" ] || return 0
  mkdir -p "$SHOTS"
  eval "$(xdotool getwindowgeometry --shell "$2")"
  import -window root -crop "$((WIDTH + 8))x$((HEIGHT + 50))+$((X - 4))+$((Y - 46))" +repage "$SHOTS/$1"
}
shoot no-match-note.png "$WID"
xdotool key a
wait_for "the note hidden by a key" grep -q 'state-changed:showing|0|.*|該当する文献はありません。' "$TMP/events.log"

# --- Ctrl+O's dialog, at least 800x520 logical pixels.
# The program's visible window whose title is the dialog's, exactly.
dialog() {
  local id
  for id in $(xdotool search --onlyvisible --pid "$APP_PID" 2>/dev/null); do
    [ "$(xdotool getwindowname "$id")" = "開く" ] && { echo "$id"; return 0; }
  done
  return 1
}
# The key is sent again, to the main window, until the dialog is up: a key that reaches the window
# while the window manager still moves the focus to it is lost.
open_dialog() {
  dialog >/dev/null && return 0
  xdotool windowfocus --sync "$WID" 2>/dev/null && xdotool key ctrl+o
  succeeds_within 3 dialog
}
wait_for "the open dialog" open_dialog
eval "$(xdotool getwindowgeometry --shell "$(dialog)")"
[ "$WIDTH" -ge 800 ] && [ "$HEIGHT" -ge 520 ] || fail "the open dialog is ${WIDTH}x${HEIGHT}"
[ -n "${SHOTS:-}" ] && sleep 1  # the folder's listing, for the picture only
shoot open-dialog.png "$(dialog)"
xdotool key Escape
wait_for "the dialog closed" test -z "$(dialog)"
grep -q "^file-dialog-size=${WIDTH}x${HEIGHT}\$" "$XDG_CONFIG_HOME/tolvane/settings" ||
  fail "the dialog's size was not remembered: $(cat "$XDG_CONFIG_HOME/tolvane/settings")"

[ -n "${KEEP_EVENTS:-}" ] && cp "$TMP/events.log" "$KEEP_EVENTS"
exit_through_menu
[ "$status" = 0 ] || fail "the program ended with status $status"
echo "PASS"
