#!/usr/bin/env bash
# Starts folim on examples/ without a display, selects the first thumbnail and
# saves a picture of the main window to build/screenshots/folim.png.
set -euo pipefail
build=${1:-build}
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$root/$build/screenshots/folim.png"
mkdir -p "$(dirname "$out")"

# A settings folder of its own, so the picture does not depend on (or touch)
# the user's recent-file list.
config="$(mktemp -d)"
trap 'rm -rf "$config"' EXIT

QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$config" \
  timeout 120 "$root/$build/bin/folim" --screenshot "$out" "$root/examples"
echo "screenshot: $out"
