#!/bin/sh
# Runs a command with a fresh program folder and fresh per-user folders of its own, so that
# no test touches the real home or another test's files, and no page reaches the network:
# the engine sends everything but loopback to a proxy that is not there.
#   run-isolated.sh COMMAND [ARGS...]
set -u
root=$(mktemp -d "${TMPDIR:-/tmp}/sablix-test.XXXXXX")
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
export HOME XDG_DATA_HOME XDG_CONFIG_HOME XDG_CACHE_HOME XDG_RUNTIME_DIR SABLIX_HOME SABLIX_TEST_ROOT QTWEBENGINE_CHROMIUM_FLAGS
# As root (CI, containers) Qt WebEngine starts only without Chromium's sandbox.
if [ "$(id -u)" = 0 ]; then QTWEBENGINE_DISABLE_SANDBOX=1; export QTWEBENGINE_DISABLE_SANDBOX; fi
"$@"
status=$?
rm -rf "$root"
exit $status
