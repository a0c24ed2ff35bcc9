#!/bin/sh
# Runs each fuzz target under libFuzzer for SECONDS: first every input that once failed
# (tests/fuzz/regressions/TARGET), then the coverage-guided search from the kept corpus.
# What grew coverage is merged back into tests/fuzz/corpus/TARGET (the smallest inputs
# that reach it); a finding stops the run with the input in crash-*.
#   libfuzzer.sh HARNESS SECONDS [TARGET...]
set -u
harness=$1
seconds=$2
shift 2
root=$(cd "$(dirname "$0")/../.." && pwd)
targets=${*:-ini list address instance filters}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
status=0
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
for target in $targets; do
  corpus=$root/tests/fuzz/corpus/$target
  regressions=$root/tests/fuzz/regressions/$target
  mkdir -p "$scratch/$target" "$corpus"
  export SABLIX_FUZZ_TARGET=$target
  if [ -d "$regressions" ] && [ -n "$(ls -A "$regressions")" ]; then
    "$harness" -runs=0 "$regressions"/* >"$scratch/$target.regressions" 2>&1 || {
      echo "$target: a regression input fails again"; tail -30 "$scratch/$target.regressions"; status=1; continue; }
  fi
  echo "== $target, ${seconds}s"
  "$harness" -max_len=4096 -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="crash-$target-" \
    "$scratch/$target" "$corpus" >"$scratch/$target.log" 2>&1 || status=1
  grep -E '^#[0-9]+ +DONE|stat::number_of_executed_units|stat::peak_rss_mb|ERROR|SUMMARY|Test unit written' \
    "$scratch/$target.log"
  # The last status line holds coverage (cov) and features (ft).
  grep -E '^#[0-9]+' "$scratch/$target.log" | tail -1
  # Keep the inputs that grew coverage: merged into the kept corpus, small ones only.
  "$harness" -merge=1 -max_len=4096 "$corpus" "$scratch/$target" >"$scratch/$target.merge" 2>&1 || status=1
  grep -E 'MERGE-OUTER: [0-9]+ new files' "$scratch/$target.merge"
done
exit $status
