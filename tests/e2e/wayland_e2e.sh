#!/bin/bash
# The real program as a native Wayland client of weston (Qt's plugin from qt6-wayland): it starts
# 800x600, searches, saves its history on SIGTERM, and Up brings the query back at the next start;
# during a long search the busy cursor reaches the compositor while the search still runs, not
# with its results. Weston runs on its X11 back end in a private X server, since the headless back
# end has no seat: no keyboard or pointer to drive. What the program asks of the compositor is read
# from weston's protocol log (WAYLAND_DEBUG=server), what it was told from its own
# (WAYLAND_DEBUG=client).
# A build without a way to reach Qt 6.4's Wayland connection (no qt6-base-private-dev) sends the
# busy cursor with the results; its second argument, end, asks only for that.
#   wayland_e2e.sh path/to/tolvane [mid-search|end]
set -u

readonly TOLVANE=$(realpath "$1")
readonly BUSY_CURSOR_SENT=${2:-mid-search}
# A bound, not a pause: a machine loaded by other builds may take tens of seconds to show a window.
readonly TIMEOUT_S=60
# The exit status ctest reads as "skipped".
readonly SKIP=77
export LC_ALL=C.UTF-8

for tool in Xvfb weston xdotool xdpyinfo xwininfo iconv dd; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit "$SKIP"; }
done
compgen -G "/usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so" >/dev/null ||
  { echo "SKIP: qt6-wayland is not installed"; exit "$SKIP"; }

TMP=$(mktemp -d)
# Weston wants a runtime folder of mode 0700, root's included.
export XDG_CONFIG_HOME="$TMP/config" XDG_RUNTIME_DIR="$TMP/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
source "$(dirname "$0")/../xsession.sh"

readonly SOCKET=tolvane-e2e
readonly WESTON_LOG="$TMP/weston.log"
readonly HINT="　空白で区切るとand検索。上下矢印キーで入力履歴。shift+Enterキー：エディタで結果を開く。"
WESTON_PID=
trap 'kill $WESTON_PID 2>/dev/null; cleanup' EXIT

start_x --bare
WAYLAND_DEBUG=server weston --backend=x11-backend.so --use-pixman --width=1024 --height=768 \
  --socket="$SOCKET" --idle-time=0 >"$WESTON_LOG" 2>&1 &
WESTON_PID=$!
wait_for "weston" test -S "$XDG_RUNTIME_DIR/$SOCKET"

# Starts the program in the folder $1, without X, and waits for its usage hint and for the query
# box to take keys: keys that come before the window is active reach no box. The box asks for
# weston's input method once it has the focus in the active window.
start_app() {
  (cd "$1" && exec env -u DISPLAY -u QT_QPA_PLATFORM WAYLAND_DISPLAY="$SOCKET" WAYLAND_DEBUG=client \
    "$TOLVANE" "$1") >"$TMP/app.log" 2>&1 &
  APP_PID=$!
  wait_for "the usage hint" grep -qF "set_title(\"$HINT\")" "$TMP/app.log"
  wait_for "the keyboard" grep -q 'wl_keyboard@[0-9]*\.enter' "$TMP/app.log"
  wait_for "the query box's focus" grep -q ' -> zwp_text_input_v1@[0-9]*\.activate(' "$TMP/app.log"
}

weston_lines() { wc -l <"$WESTON_LOG"; }
# Whether weston has received a cursor change since its log's line $1.
cursor_arrived_after() { tail -n +"$1" "$WESTON_LOG" | grep -q 'wl_pointer@[0-9]*\.set_cursor('; }
count_caption_arrived_after() { tail -n +"$1" "$WESTON_LOG" | grep -qF 'set_title("件数：'; }

# Keys go to weston's window, which hands them to the focused client.
WESTON_WINDOW=$(xwininfo -root -children | awk '/"Weston Compositor/ {print $1; exit}')
[ -n "$WESTON_WINDOW" ] || fail "no weston window"

WORK="$TMP/work"
mkdir "$WORK"
printf '%s\r\n' "山田太郎（1998）「近世日本の研究」" "佐藤花子（2001）「中世京都の寺社」" |
  iconv -f UTF-8 -t CP932 >"$WORK/tolvaneken.txt"

# The start, its size with Qt's own title bar, one search, and SIGTERM.
start_app "$WORK"
# The title bar is taken off the client area once it is known, after the first paint.
last_geometry() { grep 'set_window_geometry(' "$TMP/app.log" | tail -1; }
is_800_by_600() { last_geometry | grep -qF ', 800, 600)'; }
succeeds_within "$TIMEOUT_S" is_800_by_600 || fail "the window is not 800x600: $(last_geometry)"
xdotool windowfocus --sync "$WESTON_WINDOW" type --delay 50 1998
xdotool key Return
wait_for "the count caption" grep -qF 'set_title("件数：1   ' "$TMP/app.log"
[ "$(iconv -f CP932 -t UTF-8 "$WORK/kekka.txt")" = $'山田太郎（1998）「近世日本の研究」\r' ] ||
  fail "kekka.txt does not hold the match"
kill -TERM "$APP_PID"
wait_for_exit "SIGTERM"
[ "$status" = 0 ] || fail "SIGTERM ended the program with status $status"
[ "$(head -1 "$WORK/history.txt" | tr -d '\r')" = 1998 ] || fail "history.txt does not begin with 1998"
# The next start's Up brings the query back from history.txt, and Enter searches it again.
rm "$WORK/kekka.txt"
start_app "$WORK"
xdotool windowfocus --sync "$WESTON_WINDOW" key Up Return
wait_for "the search of the query Up brought back" test -s "$WORK/kekka.txt"
kill -TERM "$APP_PID"
wait_for_exit "SIGTERM after Up"

# A long search: one record that matches, then gibibytes of holes that the scan takes a while
# over. The busy cursor must reach weston while the search still runs, before its caption: unsent,
# it would only go out with the results.
SLOW="$TMP/slow"
mkdir "$SLOW"
printf '1998 the one record of a long bibliography\r\n' >"$SLOW/tolvaneken.txt"
truncate -s 4G "$SLOW/tolvaneken.txt"
start_app "$SLOW"
# The pointer over the window, as a user's would be; it moves, so that weston hears of it.
xdotool mousemove --window "$WESTON_WINDOW" 10 10 mousemove --window "$WESTON_WINDOW" 512 384
wait_for "the pointer" grep -q 'wl_pointer@[0-9]*\.enter' "$TMP/app.log"
xdotool windowfocus --sync "$WESTON_WINDOW" type --delay 50 1998
enter_line=$(weston_lines)
xdotool key Return
busy_before_results=
deadline=$((SECONDS + 120))  # a machine busy elsewhere takes long over the holes
until count_caption_arrived_after "$enter_line"; do
  [ "$SECONDS" -lt "$deadline" ] || fail "timed out waiting for the long search"
  if cursor_arrived_after "$enter_line"; then
    count_caption_arrived_after "$enter_line" || busy_before_results=yes
    break
  fi
  sleep 0.02
done
if [ "$BUSY_CURSOR_SENT" = mid-search ]; then
  [ -n "$busy_before_results" ] || fail "the busy cursor did not reach weston while the search ran"
fi
succeeds_within 120 grep -qF 'set_title("件数：1   ' "$TMP/app.log" ||
  fail "timed out waiting for the count caption of the long search"
# The ordinary cursor comes back with the results.
results_line=$(grep -nF 'set_title("件数：1   ' "$WESTON_LOG" | tail -1 | cut -d: -f1)
wait_for "the ordinary cursor" cursor_arrived_after "$results_line"
kill -TERM "$APP_PID"
wait_for_exit "SIGTERM after the long search"
[ "$status" = 0 ] || fail "SIGTERM ended the program with status $status after the long search"
rm -f "$SLOW/tolvaneken.txt"
echo "PASS"
