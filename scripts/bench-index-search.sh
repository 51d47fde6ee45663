#!/usr/bin/env bash
# Whole-process search times over synthetic signature indexes of 10,000,
# 30,000 and 100,000 entries (real signatures of the example photographs,
# perturbed), page cache warm, and the index size and peak memory.
#
#   scripts/bench-index-search.sh [BUILD] [SIZES...]
#
# BUILD holds bin/folim-cli and bin/bench_index (make bench builds both in
# build-bench). The indexes (about 22 kB per entry) are made once in
# BUILD/bench-search/ and kept for the next run.
set -euo pipefail
build=${1:-build-bench}
shift || true
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(10000 30000 100000)
root=$(cd "$(dirname "$0")/.." && pwd)
cli="$build/bin/folim-cli"
maker="$build/bin/bench_index"
for program in "$cli" "$maker"; do
  [ -x "$program" ] || { echo "missing $program (make bench builds it)" >&2; exit 1; }
done
work="$build/bench-search"
library="$work/library"  # the folder the synthetic entries claim to lie in
mkdir -p "$library"
library=$(cd "$library" && pwd)
query="$root/examples/aqua.jpg"

printf '%-8s %10s %10s %10s %12s %14s\n' entries wall_s user_s sys_s peak_MB bytes_per_entry
for n in "${sizes[@]}"; do
  index="$work/index-$n.sqlite"
  if [ ! -s "$index" ]; then
    "$maker" --make-index "$index" "$library" "$n" "$root/examples"
  fi
  search=("$cli" --quiet search --index "$index" --no-refresh "$query" "$library")
  "${search[@]}" >/dev/null  # warms the page cache
  best=""
  for _ in 1 2 3; do
    line=$(/usr/bin/time -f '%e %U %S %M' "${search[@]}" 2>&1 >/dev/null | tail -1)
    if [ -z "$best" ] || awk -v a="$line" -v b="$best" 'BEGIN { split(a, x); split(b, y); exit !(x[1] < y[1]) }'; then
      best=$line
    fi
  done
  read -r wall user sys peak <<<"$best"
  size=$(stat -c %s "$index")
  printf '%-8s %10s %10s %10s %12d %14d\n' "$n" "$wall" "$user" "$sys" $((peak / 1024)) $((size / n))
done
