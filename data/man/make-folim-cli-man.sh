#!/usr/bin/env bash
# Writes the manual page of folim-cli from its own help: the overview by
# help2man, then one subsection per command from `folim-cli help COMMAND`.
set -euo pipefail
cli=$1 include=$2 out=$3
commands=$("$cli" --help | awk '/^Commands:/ {on = 1; next} /^$/ {on = 0} on {print $1}')
extra=$(mktemp)
trap 'rm -f "$extra"' EXIT
cat "$include" >"$extra"
{
  echo "[COMMANDS IN DETAIL]"
  for c in $commands; do
    echo ".SS $c"
    echo ".nf"
    "$cli" help "$c" | sed -e 's/\\/\\e/g' -e 's/^\./\\\&./' -e "s/^'/\\\\\&'/"
    echo ".fi"
  done
} >>"$extra"
help2man --no-info --no-discard-stderr --include="$extra" --output="$out" "$cli"
