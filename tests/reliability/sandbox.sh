#!/bin/sh
# The engine's sandbox for an ordinary user, and the instance socket refusing another user.
# Needs root to make (or reuse) the user SABLIX_TEST_USER (default sablixtest).
#   sandbox.sh SABLIX
set -u
here=$(cd "$(dirname "$0")" && pwd)
support="$here/../support"
user=${SABLIX_TEST_USER:-sablixtest}
if [ "$(id -u)" -ne 0 ]; then
  echo "sandbox: blocked: making a user for the check needs root"
  exit 0
fi
id "$user" >/dev/null 2>&1 || useradd --create-home --shell /bin/sh "$user" || exit 1
status=0
build=$(cd "$(dirname "$1")/.." && pwd)
# The engine suite as that user, with the sandbox on (the program only turns it off for root).
for test in "$build"/bin/tst_*engine; do
  su "$user" -s /bin/sh -c "cd /tmp && '$support/run-isolated.sh' '$support/with-xvfb.sh' '$test' -silent" >/tmp/sandbox-suite.log 2>&1 \
    && echo "as $user: $(basename "$test") passed" || { echo "as $user: $(basename "$test") FAILED"; tail -20 /tmp/sandbox-suite.log; status=1; }
done
# As that user, in folders of its own, with the sandbox on (the program only turns it off for root).
su "$user" -s /bin/sh -c "cd /tmp && '$support/run-isolated.sh' '$support/with-xvfb.sh' python3 '$here/sandbox_check.py' '$1'" || status=1
"$support/run-isolated.sh" "$support/with-xvfb.sh" python3 "$here/foreign_user.py" "$1" "$user" || status=1
exit $status
