#!/bin/sh
# Runs a command on a private Xvfb display of its own, so that tests can run side by side.
#   with-xvfb.sh COMMAND [ARGS...]
set -u
fdfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$fdfile" 2>/dev/null &
xvfb=$!
# Recorded where run-isolated.sh finds it, should this script be killed before its trap runs.
[ -n "${SABLIX_TEST_ROOT:-}" ] && echo "$xvfb" >>"$SABLIX_TEST_ROOT/xvfb.pids"
child=""
cleanup() {
  [ -n "$child" ] && kill "$child" 2>/dev/null && wait "$child" 2>/dev/null
  kill "$xvfb" 2>/dev/null
  wait "$xvfb" 2>/dev/null
  rm -f "$fdfile"
}
trap cleanup EXIT
trap 'exit 143' TERM
trap 'exit 130' INT
trap 'exit 129' HUP

tries=0
while [ ! -s "$fdfile" ] && [ $tries -lt 100 ]; do sleep 0.05; tries=$((tries + 1)); done
display=$(head -n1 "$fdfile")
if [ -z "$display" ]; then
  echo "with-xvfb: Xvfb did not start" >&2
  exit 1
fi
DISPLAY=":$display"
export DISPLAY
# The idle benchmark counts the X server's work too.
SABLIX_XVFB_PID=$xvfb
export SABLIX_XVFB_PID
unset WAYLAND_DISPLAY

"$@" &
child=$!
wait "$child"
status=$?
child=""
exit $status
