#!/bin/bash
# The real program in a private X server with a window manager: type a query, click the results
# box's scroll bar and still search and browse the history with the keys, open the results in the
# editor with Shift+Enter, leave through File > Exit, then check the files. Then three sessions
# that end without the window closing (SIGTERM, SIGHUP, the X server gone) keep their query, also
# when the display goes in the middle of a long search, and two windows on one folder keep each
# other's queries. Then the start from elsewhere: `tolvane DIR`, which is remembered and where
# Ctrl+O begins; the loose search turned on in the File menu and still on after a restart; last, a
# path that does not exist.
#   window_e2e.sh path/to/tolvane
set -u

readonly TOLVANE=$(realpath "$1")
# A bound, not a pause: a machine loaded by other builds may take tens of seconds to show a window.
readonly TIMEOUT_S=60
# The exit status ctest reads as "skipped".
readonly SKIP=77
export LC_ALL=C.UTF-8  # xdotool reads the typed text in the locale's encoding

for tool in Xvfb openbox xdotool xdpyinfo xprop xmodmap iconv; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit "$SKIP"; }
done

TMP=$(mktemp -d)
# The remembered folder goes here, never to the user's own configuration.
export XDG_CONFIG_HOME="$TMP/config" XDG_RUNTIME_DIR="$TMP/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
readonly LAST_FOLDER="$XDG_CONFIG_HOME/tolvane/last-folder"
source "$(dirname "$0")/../xsession.sh"

sjis() { printf '%s' "$1" | iconv -f UTF-8 -t CP932; }

start_x

WORK="$TMP/work"
mkdir "$WORK"
cat >"$TMP/editor.sh" <<EOF
#!/bin/sh
{ pwd -P; printf '%s\n' "\$@"; } > "$TMP/editor.tmp" && mv "$TMP/editor.tmp" "$TMP/editor.log"
EOF
chmod +x "$TMP/editor.sh"

printf '%s\r\n' \
  "山田太郎（1998）「近世日本の研究」『日本史研究』第45巻、12-34頁" \
  "佐藤花子（2001）「中世京都の寺社」『史林』第84巻、1-20頁" \
  "山田花子（1985）「琉球の研究」『史学雑誌』第94巻、5-9頁" \
  "佐藤一郎（1970）『江戸の町』吉川弘文館、300頁" | iconv -f UTF-8 -t CP932 >"$WORK/tolvaneken.txt"
{
  printf '%s\r\n' "佐藤" "中世"
  for _ in $(seq 3 20); do printf '\r\n'; done
  printf '%s\r\n' "$TMP/editor.sh"
} | iconv -f UTF-8 -t CP932 >"$WORK/history.txt"

title() { xdotool getwindowname "$WID"; }
title_is() { [ "$(title)" = "$1" ]; }
title_starts() { case "$(title)" in "$1"*) return 0 ;; *) return 1 ;; esac; }

# Starts the program in the folder $1 ($WORK when not given) with the arguments after it, and
# waits until its window has the keyboard.
start_app() {
  local dir=$WORK
  if [ $# -gt 0 ]; then
    dir=$1
    shift
  fi
  (cd "$dir" && exec "$TOLVANE" "$@") >"$TMP/app.log" 2>&1 &
  APP_PID=$!
  wait_for "the main window" has_window
  WID=$(window)
  wait_for "the usage hint" title_is "　空白で区切るとand検索。上下矢印キーで入力履歴。shift+Enterキー：エディタで結果を開く。"
  xdotool windowfocus --sync "$WID" || fail "cannot focus the window"
}

# A click on the middle of the results box's vertical scroll bar, at the view's right edge below
# the query box and the menu bar.
click_scroll_bar() {
  eval "$(xdotool getwindowgeometry --shell "$WID")"
  xdotool mousemove --window "$WID" $((WIDTH - 17)) $((HEIGHT / 2 + 20)) click 1
}



start_app

type_text "研究 山田"
click_scroll_bar
xdotool key Return
wait_for "the count caption" title_is "件数：2   空白で区切るとand検索。上下矢印キーで入力履歴。shift+Enter：エディタで結果を開く。"
expected=$(printf '%s\r\n' "山田太郎（1998）「近世日本の研究」『日本史研究』第45巻、12-34頁" \
  "山田花子（1985）「琉球の研究」『史学雑誌』第94巻、5-9頁" | iconv -f UTF-8 -t CP932 | od -An -tx1)
[ "$(od -An -tx1 <"$WORK/kekka.txt")" = "$expected" ] || fail "kekka.txt does not hold the two matches"

# History now: 研究　山田, 佐藤, 中世. Up three times reaches 中世, Down goes back to 佐藤.
click_scroll_bar
xdotool key Up Up Up Down
rm -f "$WORK/kekka.txt"
xdotool key shift+Return
wait_for "the editor" test -s "$TMP/editor.log"
title_starts "件数：2 " || fail "caption after the second search: $(title)"
[ "$(cat "$TMP/editor.log")" = "$(realpath "$WORK")"$'\n'"kekka.txt" ] || fail "editor log: $(cat "$TMP/editor.log")"
[ "$(LC_ALL=C grep -c . "$WORK/kekka.txt")" = 2 ] && LC_ALL=C grep -qF "$(sjis 佐藤一郎)" "$WORK/kekka.txt" ||
  fail "the second search was not for 佐藤"

exit_through_menu
[ "$status" = 0 ] || fail "the program ended with status $status"

mapfile -t lines < <(tr -d '\r' <"$WORK/history.txt")
[ "${#lines[@]}" = 21 ] || fail "history.txt has ${#lines[@]} lines"
[ "${lines[0]}" = "$(sjis "研究　山田")" ] ||
  fail "slot 0 is not 研究　山田 in Shift-JIS but $(printf '%s' "${lines[0]}" | iconv -f CP932 -t UTF-8)"
[ "${lines[1]}" = "$(sjis "佐藤")" ] || fail "slot 1 is not 佐藤"
[ "${lines[20]}" = "$TMP/editor.sh" ] || fail "the editor line changed"
[ "$(cat "$LAST_FOLDER")" = "$(realpath "$WORK")" ] || fail "the remembered folder is not $WORK"

# Sessions that end without the window closing: each query is in history.txt, whole.
check_history_slot0() {
  mapfile -t lines < <(tr -d '\r' <"$WORK/history.txt")
  [ "${#lines[@]}" = 21 ] || fail "history.txt has ${#lines[@]} lines after $1"
  [ "${lines[0]}" = "$2" ] || fail "slot 0 after $1 is ${lines[0]}, not $2"
  [ "${lines[20]}" = "$TMP/editor.sh" ] || fail "the editor line changed after $1"
}
query=7000  # digits: typed without borrowed keys, and no record holds them
for ending in TERM HUP display; do
  query=$((query + 1))
  printf 'x\r\n' >"$WORK/kekka.txt"  # emptied by the search, which matches nothing
  start_app
  type_text "$query"
  xdotool key Return
  wait_for "the search of $query" test ! -s "$WORK/kekka.txt"
  if [ "$ending" = display ]; then
    kill "$XVFB_PID"
    wait_for_exit "the lost display"
    wait "$XVFB_PID" "$WM_PID" 2>/dev/null
    XVFB_PID= WM_PID=
    start_x
  else
    kill -"$ending" "$APP_PID"
    wait_for_exit "SIG$ending"
    [ "$status" = 0 ] || fail "SIG$ending ended the program with status $status, not through its exit"
  fi
  check_history_slot0 "$ending" "$query"
done

# The next start's Up brings the last query back: searching it again matches nothing, so the
# results file is emptied, and the history keeps its order.
printf 'x\r\n' >"$WORK/kekka.txt"
start_app
xdotool key Up Return
wait_for "the search of the last query" test ! -s "$WORK/kekka.txt"
exit_through_menu
check_history_slot0 "the last start" "$query"

# A display lost while a long search runs: the query was stored before the scan began. The
# records end in gibibytes of holes, which the scan takes a while over.
LONG="$TMP/long"
mkdir "$LONG"
printf 'needle 1\r\n' >"$LONG/tolvaneken.txt"
truncate -s 2G "$LONG/tolvaneken.txt"
start_app "$LONG"
type_text "needle"
xdotool key Return
wait_for "the query in history.txt during the search" \
  sh -c "head -1 '$LONG/history.txt' | tr -d '\r' | grep -qx needle"
kill "$XVFB_PID"
# The program ends once the search is done, which a machine busy elsewhere may take long over.
wait_for_exit "the display lost during the search" 120
wait "$XVFB_PID" "$WM_PID" 2>/dev/null
XVFB_PID= WM_PID=
[ "$(head -1 "$LONG/history.txt" | tr -d '\r')" = needle ] || fail "the query was lost with the display"
rm -f "$LONG/tolvaneken.txt"
start_x

# Two windows on one folder: each keeps its queries, whichever closes last.
TWO="$TMP/two"
mkdir "$TWO"
cp "$WORK/tolvaneken.txt" "$TWO/"
start_app "$TWO"
FIRST_PID=$APP_PID FIRST_WID=$WID
type_text "1998"
xdotool key Return
wait_for "the first window's search" title_starts "件数：1 "
start_app "$TWO"
type_text "1985"
xdotool key Return
wait_for "the second window's search" title_starts "件数：1 "
kill -TERM "$APP_PID"
wait_for_exit "the second window's SIGTERM"
APP_PID=$FIRST_PID WID=$FIRST_WID
kill -TERM "$APP_PID"
wait_for_exit "the first window's SIGTERM"
mapfile -t lines < <(tr -d '\r' <"$TWO/history.txt")
[ "${#lines[@]}" = 21 ] && [ "${lines[0]}" = 1985 ] && [ "${lines[1]}" = 1998 ] && [ "${lines[2]}" = 0000 ] ||
  fail "the two windows' history: ${lines[*]}"

# Started as `tolvane DIR` from a folder without records, as a launcher in the home folder would:
# the search runs in DIR, which is remembered, and the working directory stays as it was.
BIBLIO="$TMP/biblio"
ELSEWHERE="$TMP/elsewhere"
mkdir "$BIBLIO" "$ELSEWHERE"
cp "$WORK/tolvaneken.txt" "$BIBLIO/"
start_app "$ELSEWHERE" "$BIBLIO"
type_text "1998"
xdotool key Return
wait_for "the search in DIR" title_starts "件数：1 "
LC_ALL=C grep -qF "$(sjis 山田太郎)" "$BIBLIO/kekka.txt" || fail "kekka.txt in DIR lacks the match"
[ ! -e "$ELSEWHERE/kekka.txt" ] || fail "the search wrote into the working directory"
# Ctrl+O begins in DIR, not in the working directory, which has records of its own now: the name
# alone opens DIR's file, and the next search still searches DIR.
printf '%s\r\n' "別所一郎（1998）「ここではない所」" | iconv -f UTF-8 -t CP932 >"$ELSEWHERE/tolvaneken.txt"
rm "$BIBLIO/kekka.txt"
xdotool key ctrl+o
open_dialog() { xdotool search --onlyvisible --pid "$APP_PID" --name "^開く$" 2>/dev/null | head -1; }
has_open_dialog() { [ -n "$(open_dialog)" ]; }
wait_for "the open dialog" has_open_dialog
# The dialog may take its first keys before it has the focus: typed again until it opens the file.
deadline=$((SECONDS + TIMEOUT_S))
until title_starts "tolvaneken.txt - "; do
  [ "$SECONDS" -lt "$deadline" ] || fail "tolvaneken.txt typed in the open dialog did not open DIR's file"
  dialog=$(open_dialog)
  [ -n "$dialog" ] && xdotool windowfocus --sync "$dialog" key ctrl+a type --delay 50 "tolvaneken.txt" &&
    xdotool key Return
  succeeds_within 2 title_starts "tolvaneken.txt - "
done
# The window takes keys again once the closed dialog has handed the focus back: typed again until
# the search has run.
deadline=$((SECONDS + TIMEOUT_S))
until [ -s "$BIBLIO/kekka.txt" ] || [ -e "$ELSEWHERE/kekka.txt" ]; do
  [ "$SECONDS" -lt "$deadline" ] || fail "timed out waiting for the search after Ctrl+O"
  xdotool windowfocus --sync "$WID" key ctrl+a type --delay 50 "1998"
  xdotool key Return
  succeeds_within 2 sh -c '[ -s "$1" ] || [ -e "$2" ]' sh "$BIBLIO/kekka.txt" "$ELSEWHERE/kekka.txt"
done
LC_ALL=C grep -qF "$(sjis 山田太郎)" "$BIBLIO/kekka.txt" || fail "the search after Ctrl+O left DIR"
[ ! -e "$ELSEWHERE/kekka.txt" ] || fail "the search after Ctrl+O went to the working directory"
exit_through_menu
[ "$status" = 0 ] || fail "the DIR session ended with status $status"
[ "$(cat "$LAST_FOLDER")" = "$(realpath "$BIBLIO")" ] || fail "DIR was not remembered"

# The loose search, turned on in the File menu as a person would (Alt+F, L): 國語學 is found as
# 国語, and after a restart ｺﾝﾋﾟｭｰﾀ as コンピュータ, with no menu touched.
LOOSE="$TMP/loose"
mkdir "$LOOSE"
printf '%s\r\n' "國語學の研究" "ｺﾝﾋﾟｭｰﾀ入門" "国語辞典" | iconv -f UTF-8 -t CP932 >"$LOOSE/tolvaneken.txt"
SETTINGS="$XDG_CONFIG_HOME/tolvane/settings"
loose_on() { grep -qx "loose-search=on" "$SETTINGS" 2>/dev/null; }
start_app "$LOOSE"
# The menu opens asynchronously: L is typed once its popup, a second window of the program, is
# shown. An Alt+F the window missed is tried again.
menu_shown() { [ "$(xdotool search --onlyvisible --pid "$APP_PID" 2>/dev/null | wc -l)" -gt 1 ]; }
deadline=$((SECONDS + TIMEOUT_S))
until loose_on; do
  [ "$SECONDS" -lt "$deadline" ] || fail "File > 表記ゆれを区別しない did not turn the loose search on"
  xdotool key Escape
  xdotool windowfocus --sync "$WID" key ctrl+a BackSpace alt+f
  succeeds_within 2 menu_shown || continue
  xdotool key l
  succeeds_within 2 loose_on
done
xdotool windowfocus --sync "$WID" key ctrl+a BackSpace
type_text "国語"
xdotool key Return
wait_for "the loose search's count" title_starts "件数：2 "
[ "$(iconv -f CP932 -t UTF-8 "$LOOSE/kekka.txt")" = "$(printf '國語學の研究\r\n国語辞典\r')" ] ||
  fail "kekka.txt of the loose search: $(iconv -f CP932 -t UTF-8 "$LOOSE/kekka.txt")"
exit_through_menu
[ "$status" = 0 ] || fail "the loose session ended with status $status"
start_app "$LOOSE"
type_text "コンピュータ"
xdotool key Return
wait_for "the loose search after a restart" title_starts "件数：1 "
LC_ALL=C grep -qF "$(sjis ｺﾝﾋﾟｭｰﾀ入門)" "$LOOSE/kekka.txt" || fail "the restarted loose search missed ｺﾝﾋﾟｭｰﾀ"
exit_through_menu
[ "$status" = 0 ] || fail "the restarted loose session ended with status $status"

# A path that does not exist: a message box and no main window; OK ends the program with 2.
(cd "$ELSEWHERE" && exec "$TOLVANE" "$TMP/missing") >"$TMP/app.log" 2>&1 &
APP_PID=$!
wait_for "the message box" has_window
WID=$(window)
title_is "Tolvane" || fail "the message box is captioned $(title)"
xdotool windowfocus --sync "$WID" key Return || fail "cannot answer the message box"
wait_for_exit "OK in the message box"
[ "$status" = 2 ] || fail "a missing path ended the program with status $status"
grep -qxF "tolvane: $TMP/missing が見つかりません。" "$TMP/app.log" || fail "no message on standard error"
echo "PASS"
