#!/bin/sh
# Runs a command with a fresh program folder and fresh per-user folders of its own, so that
# no test touches the real home or another test's files, and no page reaches the network:
# the engine sends everything but loopback to a proxy that is not there.
#   run-isolated.sh COMMAND [ARGS...]
set -u
base="${TMPDIR:-/tmp}"

# What runs killed before they could clean up left behind (a CTest timeout kills hard):
# their folders and their X servers.
for old in "$base"/sablix-test.*; do
  [ -d "$old" ] || continue
  owner=$(cat "$old/owner.pid" 2>/dev/null) || continue
  if [ -n "$owner" ] && ! kill -0 "$owner" 2>/dev/null; then
    for pid in $(cat "$old/xvfb.pids" 2>/dev/null); do kill "$pid" 2>/dev/null; done
    rm -rf "$old"
  fi
done

root=$(mktemp -d "$base/sablix-test.XXXXXX")
echo $$ >"$root/owner.pid"
mkdir -p "$root/home" "$root/data" "$root/config" "$root/cache" "$root/runtime" "$root/program"
chmod 700 "$root/runtime"
HOME="$root/home"
XDG_DATA_HOME="$root/data"
XDG_CONFIG_HOME="$root/config"
XDG_CACHE_HOME="$root/cache"
XDG_RUNTIME_DIR="$root/runtime"
SABLIX_HOME="$root/program"
SABLIX_TEST_ROOT="$root"
QTWEBENGINE_CHROMIUM_FLAGS="--proxy-server=127.0.0.1:9 --disable-background-networking"
# No session bus but the ones tests start themselves: named, not left unset, so that nothing
# launches one (GLib would) and the engine does not add the variable while threads run.
DBUS_SESSION_BUS_ADDRESS="unix:path=$root/no-session-bus"
export HOME XDG_DATA_HOME XDG_CONFIG_HOME XDG_CACHE_HOME XDG_RUNTIME_DIR SABLIX_HOME SABLIX_TEST_ROOT QTWEBENGINE_CHROMIUM_FLAGS
export DBUS_SESSION_BUS_ADDRESS
# As root (CI, containers) Qt WebEngine starts only without Chromium's sandbox.
if [ "$(id -u)" = 0 ]; then QTWEBENGINE_DISABLE_SANDBOX=1; export QTWEBENGINE_DISABLE_SANDBOX; fi

child=""
cleanup() {
  [ -n "$child" ] && kill "$child" 2>/dev/null && wait "$child" 2>/dev/null
  for pid in $(cat "$root/xvfb.pids" 2>/dev/null); do kill "$pid" 2>/dev/null; done
  rm -rf "$root"
}
trap cleanup EXIT
trap 'exit 143' TERM
trap 'exit 130' INT
trap 'exit 129' HUP

# In the background, so that a signal reaches the trap while the command runs.
"$@" &
child=$!
wait "$child"
status=$?
child=""
exit $status
