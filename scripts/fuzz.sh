#!/usr/bin/env bash
# Runs every libFuzzer target of a fuzz build for a bounded time on a copy of
# its seed corpus (fuzz/corpus/<target>/); crashes are kept in fuzz/crashes/.
set -euo pipefail
build=${1:-build-fuzz}
seconds=${2:-${FUZZ_SECONDS:-30}}
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$root/fuzz/crashes"

status=0
for target in "$build"/bin/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus="$work/$name"
  mkdir -p "$corpus"
  [ -d "$root/fuzz/corpus/$name" ] && cp -r "$root/fuzz/corpus/$name/." "$corpus/"
  # The thumbnail path runs inside file managers and any Qt program: it must
  # stay within a budget far below what decoding its inputs would take.
  rss=2560
  asan=""
  if [ "$name" = fuzz_rim_thumbnail ]; then
    rss=512
    # AddressSanitizer keeps up to 256 MB of freed blocks to catch uses after
    # free: memory the reader has given back, which would count against its
    # budget. A smaller quarantine keeps the limit about the reader.
    asan="quarantine_size_mb=32"
  fi
  echo "== $name (${seconds}s, ${rss} MB)"
  if ! ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}$asan" "$target" "$corpus" -max_total_time="$seconds" -timeout=10 -rss_limit_mb="$rss" \
      -artifact_prefix="$root/fuzz/crashes/$name-" -print_final_stats=1 2>"$work/$name.log"; then
    status=1
    echo "!! $name found a problem:"
    tail -n 40 "$work/$name.log"
  else
    grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$work/$name.log" || true
  fi
done
exit $status
