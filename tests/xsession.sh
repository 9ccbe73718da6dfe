# A private X server with a window manager, for the scripts that drive the real program with
# xdotool. Sourced; the caller sets TMP (a scratch folder it owns) and may set TIMEOUT_S.
#   start_x            the server and openbox; exports DISPLAY
#   stop_x             ends both
#   succeeds_within S CMD...   true once CMD succeeds, false after S seconds
#   wait_for WHAT CMD...       the same within TIMEOUT_S, or fail
# The caller defines fail MESSAGE (ends the script).

: "${TIMEOUT_S:=20}"
XVFB_PID=
WM_PID=

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
# desktop would: focus and clicks then go through a real window manager.
start_x() {
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
  openbox --sm-disable >"$TMP/openbox.log" 2>&1 &
  WM_PID=$!
  wait_for "the window manager" sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"'
}

stop_x() {
  [ -n "$WM_PID" ] && kill "$WM_PID" 2>/dev/null
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
  WM_PID=
  XVFB_PID=
}
