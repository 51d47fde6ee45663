#!/usr/bin/env bash
# The demo: shows the whole system working on the bundled photographs.
set -euo pipefail
build=${1:-build}
cli="$build/bin/folim-cli"

echo "== Conversion parameters (config.ini beside the program)"
"$cli" params
