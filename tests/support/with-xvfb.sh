#!/bin/sh
# Runs a command on a private Xvfb display of its own, so that tests can run side by side.
#   with-xvfb.sh COMMAND [ARGS...]
set -u
fdfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$fdfile" 2>/dev/null &
xvfb=$!
tries=0
while [ ! -s "$fdfile" ] && [ $tries -lt 100 ]; do sleep 0.05; tries=$((tries + 1)); done
display=$(head -n1 "$fdfile")
rm -f "$fdfile"
if [ -z "$display" ]; then
  echo "with-xvfb: Xvfb did not start" >&2
  kill "$xvfb" 2>/dev/null
  exit 1
fi
DISPLAY=":$display"
export DISPLAY
unset WAYLAND_DISPLAY
"$@"
status=$?
kill "$xvfb" 2>/dev/null
wait "$xvfb" 2>/dev/null
exit $status
