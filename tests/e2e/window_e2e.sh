#!/bin/bash
# The real program in a private X server: type a query, search, browse the history, open the
# results in the editor with Shift+Enter, leave through File > Exit, then check the files.
#   window_e2e.sh path/to/tolvane
set -u

readonly TOLVANE=$(realpath "$1")
readonly TIMEOUT_S=20
# The exit status ctest reads as "skipped".
readonly SKIP=77
export LC_ALL=C.UTF-8  # xdotool reads the typed text in the locale's encoding

for tool in Xvfb xdotool xdpyinfo iconv; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit "$SKIP"; }
done

TMP=$(mktemp -d)
XVFB_PID=
APP_PID=
cleanup() {
  [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$TMP"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  [ -s "$TMP/app.log" ] && { echo "--- program output"; cat "$TMP/app.log"; }
  exit 1
}

# Runs the command until it succeeds (true) or `seconds` have passed (false).
succeeds_within() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@" >/dev/null 2>&1; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

# Like succeeds_within with TIMEOUT_S, but a timeout fails the test.
wait_for() {
  local what=$1
  shift
  succeeds_within "$TIMEOUT_S" "$@" || fail "timed out waiting for $what"
}

sjis() { printf '%s' "$1" | iconv -f UTF-8 -t CP932; }

# The server picks a free display itself and tells us which. A server that never answers (a
# display freed by another run a moment ago) is replaced by a fresh one.
for attempt in 1 2 3; do
  : >"$TMP/display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$TMP/display" 2>"$TMP/xvfb.log" &
  XVFB_PID=$!
  if succeeds_within "$TIMEOUT_S" test -s "$TMP/display"; then
    export DISPLAY=":$(head -1 "$TMP/display")"
    succeeds_within "$TIMEOUT_S" xdpyinfo && break
  fi
  kill "$XVFB_PID" 2>/dev/null
  wait "$XVFB_PID" 2>/dev/null
  XVFB_PID=
done
[ -n "$XVFB_PID" ] || fail "no X server came up: $(cat "$TMP/xvfb.log")"

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

(cd "$WORK" && exec "$TOLVANE") >"$TMP/app.log" 2>&1 &
APP_PID=$!

window() { xdotool search --onlyvisible --pid "$APP_PID" 2>/dev/null | head -1; }
has_window() { [ -n "$(window)" ]; }
wait_for "the main window" has_window
WID=$(window)
title() { xdotool getwindowname "$WID"; }
title_is() { [ "$(title)" = "$1" ]; }
title_starts() { case "$(title)" in "$1"*) return 0 ;; *) return 1 ;; esac; }

wait_for "the usage hint" title_is "　空白で区切るとand検索。上下矢印キーで入力履歴。shift+Enterキー：エディタで結果を開く。"
xdotool windowfocus --sync "$WID" || fail "cannot focus the window"

# xdotool lends each Japanese character a spare key for the moment of typing it; a generous delay
# gives the program time to read the borrowed mapping before it is taken back.
xdotool type --delay 250 "研究 山田"
xdotool key Return
wait_for "the count caption" title_is "件数：2   空白で区切るとand検索。上下矢印キーで入力履歴。shift+Enter：エディタで結果を開く。"
expected=$(printf '%s\r\n' "山田太郎（1998）「近世日本の研究」『日本史研究』第45巻、12-34頁" \
  "山田花子（1985）「琉球の研究」『史学雑誌』第94巻、5-9頁" | iconv -f UTF-8 -t CP932 | od -An -tx1)
[ "$(od -An -tx1 <"$WORK/kekka.txt")" = "$expected" ] || fail "kekka.txt does not hold the two matches"

# History now: 研究　山田, 佐藤, 中世. Up three times reaches 中世, Down goes back to 佐藤.
xdotool key Up Up Up Down
rm -f "$WORK/kekka.txt"
xdotool key shift+Return
wait_for "the editor" test -s "$TMP/editor.log"
title_starts "件数：2 " || fail "caption after the second search: $(title)"
[ "$(cat "$TMP/editor.log")" = "$(realpath "$WORK")"$'\n'"kekka.txt" ] || fail "editor log: $(cat "$TMP/editor.log")"
[ "$(LC_ALL=C grep -c . "$WORK/kekka.txt")" = 2 ] && LC_ALL=C grep -qF "$(sjis 佐藤一郎)" "$WORK/kekka.txt" ||
  fail "the second search was not for 佐藤"

xdotool key alt+f
sleep 0.3  # the menu opens asynchronously; X is harmless if typed too early, so retry below
xdotool key x
deadline=$((SECONDS + TIMEOUT_S))
while kill -0 "$APP_PID" 2>/dev/null; do
  [ "$SECONDS" -lt "$deadline" ] || fail "File > Exit did not end the program"
  sleep 0.3
  kill -0 "$APP_PID" 2>/dev/null && xdotool key alt+f sleep 0.3 key x
done
wait "$APP_PID"
status=$?
APP_PID=
[ "$status" = 0 ] || fail "the program ended with status $status"

mapfile -t lines < <(tr -d '\r' <"$WORK/history.txt")
[ "${#lines[@]}" = 21 ] || fail "history.txt has ${#lines[@]} lines"
[ "${lines[0]}" = "$(sjis "研究　山田")" ] ||
  fail "slot 0 is not 研究　山田 in Shift-JIS but $(printf '%s' "${lines[0]}" | iconv -f CP932 -t UTF-8)"
[ "${lines[1]}" = "$(sjis "佐藤")" ] || fail "slot 1 is not 佐藤"
[ "${lines[20]}" = "$TMP/editor.sh" ] || fail "the editor line changed"
echo "PASS"
