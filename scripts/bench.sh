#!/usr/bin/env bash
# Runs every benchmark program of a Release build.
set -euo pipefail
build=${1:-build-bench}
status=0
for b in "$build"/bin/bench_*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" --benchmark_counters_tabular=true ${BENCH_ARGS:-} || status=1
done
exit $status
