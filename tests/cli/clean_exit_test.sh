#!/usr/bin/env bash
# folim-cli's full command set runs a job that reads its first pictures on
# worker threads (an index build with two jobs), so that Qt's image plug-ins
# are made there, under valgrind: neither the job nor the clean-up at exit
# may touch memory it should not. Exit status 77 (skipped) without valgrind.
# Usage: clean_exit_test.sh BUILD_DIR TEST_DATA_DIR
set -euo pipefail
build=$(cd "$1" && pwd) data=$(cd "$2" && pwd)
command -v valgrind >/dev/null || { echo "valgrind is not installed: skipped"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cli=$build/bin/folim-cli

# Small pictures in formats that plug-ins read.
mkdir "$work/pictures"
for ext in jpg tif webp; do
  "$cli" --quiet decode "$data/golden/rgb_pca_8x8.rim" "$work/pictures/small.$ext"
done

status=0
valgrind -q --error-exitcode=99 --leak-check=no --num-callers=30 \
  --suppressions="$(dirname "$0")/loader_rpath.supp" \
  "$cli" index --jobs 2 --index "$work/index.sqlite" "$work/pictures" \
  >"$work/out" 2>"$work/err" || status=$?
cat "$work/err" >&2
[ "$status" -eq 0 ] || { echo "FAIL: exit status $status under valgrind" >&2; exit 1; }
expected="added 3, refreshed 0, removed 0, failed 0, unchanged 0"
[ "$(cat "$work/out")" = "$expected" ] || { echo "FAIL: printed $(cat "$work/out")" >&2; exit 1; }
echo "clean exit under valgrind"
