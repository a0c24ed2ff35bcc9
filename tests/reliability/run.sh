#!/bin/sh
# make reliability: the figures. Fuzzing (FUZZ_RUNS inputs per target), the kill -9 soak
# (SOAK_RUNS kills), the sandbox as an ordinary user, the instance socket under load, and
# the suite under the sanitizers when a sanitizer build is there.
#   run.sh BUILD SANITIZE_BUILD
set -u
here=$(cd "$(dirname "$0")" && pwd)
root="$here/../.."
support="$root/tests/support"
build=$1
sanitize_build=${2:-}
status=0
echo "== fuzzing"
for target in ini list address instance filters; do
  "$build/bin/sablix-fuzz" "$target" "${FUZZ_RUNS:-1000000}" "${FUZZ_SEED:-1}" "$root/tests/fuzz/corpus/$target" \
    "$root/tests/fuzz/regressions/$target" || status=1
done
echo "== kill -9 soak"
"$support/run-isolated.sh" "$support/with-xvfb.sh" python3 "$here/soak.py" "$build/bin/sablix" "${SOAK_RUNS:-1000}" || status=1
echo "== kill -9 soak of the history file"
"$support/run-isolated.sh" python3 "$here/history_soak.py" "$build/bin/history-soak-writer" "${SOAK_RUNS:-1000}" || status=1
echo "== sandbox and foreign users"
"$here/sandbox.sh" "$build/bin/sablix" || status=1
echo "== instance socket under load"
"$support/run-isolated.sh" "$support/with-xvfb.sh" python3 "$here/socket_load.py" "$build/bin/sablix" 50 5 || status=1
if [ -n "$sanitize_build" ] && [ -f "$sanitize_build/build.ninja" ]; then
  echo "== sanitizers (the whole suite in the sanitizer build)"
  (cd "$sanitize_build" &&
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_init_order=1:new_delete_type_mismatch=0 \
    LSAN_OPTIONS="suppressions=$root/tests/support/sanitizers/lsan.supp" \
    UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:suppressions=$root/tests/support/sanitizers/ubsan.supp" \
    ctest --label-exclude bench --output-on-failure) || status=1
else
  echo "== sanitizers: no sanitizer build; make test SANITIZE=1 makes one"
fi
exit $status
