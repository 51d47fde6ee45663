#!/usr/bin/env bash
# Starts folim on examples/ without a display, selects the first thumbnail and
# saves a picture of the main window to build/screenshots/folim.png.
set -euo pipefail
build=${1:-build}
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$root/$build/screenshots/folim.png"
mkdir -p "$(dirname "$out")"

# A settings folder of its own, so that the picture neither depends on nor
# touches the user's recent-file list; and a screen of a common size.
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cat >"$work/screen.json" <<'JSON'
{ "screens": [ { "name": "screen", "x": 0, "y": 0, "width": 1280, "height": 900,
                 "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1 } ] }
JSON

QT_QPA_PLATFORM="offscreen:configfile=$work/screen.json" XDG_CONFIG_HOME="$work" \
  XDG_RUNTIME_DIR="$work" timeout 120 "$root/$build/bin/folim" --screenshot "$out" "$root/examples" \
  2> >(grep -v 'propagateSizeHints' >&2)
echo "screenshot: $out"
