# A private X server with a window manager, and the program in it, for the scripts that drive the
# real program with xdotool. Sourced after the caller has made TMP, a scratch folder that the exit
# removes; TIMEOUT_S and XVFB_SCREEN (width x height x depth) may be set before. The caller starts
# the program in the background with its output in $TMP/app.log and its pid in APP_PID.
#   start_x [--bare] / stop_x  the server and openbox (exports DISPLAY) / ends both; --bare: no
#                              window manager, so no frame around the window
#   succeeds_within S CMD...   true once CMD succeeds, false after S seconds
#   wait_for WHAT CMD...       the same within TIMEOUT_S, or fail
#   fail MESSAGE               ends the script, with the program's output
#   type_text TEXT             types TEXT into the focused window, Japanese included
#   window / has_window        the program's visible main window
#   wait_for_exit WHAT [S], exit_through_menu the program's end; its exit status in $status

: "${TIMEOUT_S:=20}"
: "${XVFB_SCREEN:=1024x768x24}"
XVFB_PID=
WM_PID=
APP_PID=

cleanup() {
  [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null
  stop_x
  wait 2>/dev/null
  rm -rf "$TMP"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  if [ -n "$APP_PID" ] && ! kill -0 "$APP_PID" 2>/dev/null; then
    wait "$APP_PID"
    echo "(the program had ended, with status $?)"
  fi
  [ -s "$TMP/app.log" ] && { echo "--- program output"; cat "$TMP/app.log"; }
  exit 1
}

succeeds_within() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@" >/dev/null 2>&1; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

wait_for() {
  local what=$1
  shift
  succeeds_within "$TIMEOUT_S" "$@" || fail "timed out waiting for $what"
}

# The server picks a free display itself and tells us which. A server that never answers (a
# display freed by another run a moment ago) is replaced by a fresh one. Openbox manages it, as a
# desktop would: focus and clicks then go through a real window manager. -noreset: a server resets
# when its last client leaves, and a window manager that connects during that reset fails.
start_x() {
  for attempt in 1 2 3; do
    : >"$TMP/display"
    Xvfb -displayfd 3 -screen 0 "$XVFB_SCREEN" -nolisten tcp -noreset 3>"$TMP/display" 2>"$TMP/xvfb.log" &
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
  [ "${1:-}" = --bare ] && return
  openbox --sm-disable >"$TMP/openbox.log" 2>&1 &
  WM_PID=$!
  succeeds_within "$TIMEOUT_S" sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
    fail "timed out waiting for the window manager: $(cat "$TMP/openbox.log")"
}

stop_x() {
  [ -n "$WM_PID" ] && kill "$WM_PID" 2>/dev/null
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
  WM_PID=
  XVFB_PID=
}

# Types TEXT as a keyboard would. Every character the keymap lacks is first bound to a spare key
# for good: xdotool would otherwise lend it a key only for the moment of typing it, and a program
# busy elsewhere may read the key after it was taken back and get another character.
type_text() {
  local text=$1 char keysym
  local -a spare
  mapfile -t spare < <(xmodmap -pke | awk 'NF == 3 { print $2 }')
  local next=0
  while IFS= read -r -n1 char; do
    [ -n "$char" ] || continue
    [ "$(printf '%s' "$char" | wc -c)" -gt 1 ] || continue  # ASCII is on the keyboard
    keysym=U$(printf '%s' "$char" | iconv -f UTF-8 -t UTF-32BE | od -An -tx1 | tr -d ' \n' | sed 's/^0*//' | tr a-f A-F)
    xmodmap -pke | grep -qw "$keysym" && continue
    [ "$next" -lt "${#spare[@]}" ] || fail "no spare key left to bind $char to"
    xmodmap -e "keycode ${spare[next]} = $keysym $keysym"
    next=$((next + 1))
  done <<<"$text"
  xdotool type --delay 100 "$text"
}

window() { xdotool search --onlyvisible --pid "$APP_PID" 2>/dev/null | head -1; }
has_window() { [ -n "$(window)" ]; }

# Waits for the program to end, within TIMEOUT_S or the seconds given; its exit status in $status.
wait_for_exit() {
  local deadline=$((SECONDS + ${2:-$TIMEOUT_S}))
  while kill -0 "$APP_PID" 2>/dev/null; do
    [ "$SECONDS" -lt "$deadline" ] || fail "$1 did not end the program"
    sleep 0.1
  done
  wait "$APP_PID"
  status=$?
  APP_PID=
}

# Leaves through File > Exit; the exit status in $status.
exit_through_menu() {
  xdotool key alt+f
  sleep 0.3  # the menu opens asynchronously; X is harmless if typed too early, so retry below
  xdotool key x
  local deadline=$((SECONDS + TIMEOUT_S))
  while kill -0 "$APP_PID" 2>/dev/null; do
    [ "$SECONDS" -lt "$deadline" ] || fail "File > Exit did not end the program"
    sleep 0.3
    kill -0 "$APP_PID" 2>/dev/null && xdotool key alt+f sleep 0.3 key x
  done
  wait "$APP_PID"
  status=$?
  APP_PID=
}
