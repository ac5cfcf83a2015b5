#!/bin/sh
# Runs each fuzz program for a bounded time, starting from a copy of its committed seeds and
# kept inputs, each in a sandbox of its own, and prints what the run did. An input that fails
# is kept under <build>/run/<target>/findings/ and the run fails: mend the fault, and keep the
# input under fuzz/regressions/<target>/ so that the regression test replays it.
# Usage: run.sh <fuzz build folder> <seconds per target> <target>...
set -eu
build=$1
seconds=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
failed=""
for target in "$@"; do
  work="$build/run/$target"
  rm -rf "$work"
  mkdir -p "$work/corpus" "$work/findings" "$work/sandbox"
  for kept in "$here/corpus/$target" "$here/regressions/$target"; do
    [ -d "$kept" ] && cp "$kept"/* "$work/corpus/" 2>/dev/null || true
  done
  # Inputs up to 8 KiB: room for archives of several entries and their directory.
  if QEL_ROOT="$work/sandbox" ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
      "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -max_len=8192 -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$work/findings/" "$work/corpus" >"$work/log" 2>&1; then
    outcome="nothing found"
  else
    outcome="FAILED, input kept in $work/findings/"
    failed="$failed $target"
    tail -n 40 "$work/log"
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -n 1)
  coverage=$(grep -E '^#[0-9]+' "$work/log" | tail -n 1 | sed -n 's/.*\(cov: [0-9]* ft: [0-9]*\).*/\1/p')
  echo "fuzz $target: ${runs:-?} executions in ${seconds} s, ${coverage:-no coverage line}, $outcome"
done
if [ -n "$failed" ]; then
  echo "fuzzing found faults in:$failed"
  exit 1
fi
