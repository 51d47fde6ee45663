#!/usr/bin/env bash
# Builds the Debian package, installs it, uses each installed program once
# (folim-cli, the thumbnailer, the Qt image plugin from a PyQt6 client), runs
# the tests again while it is installed and removes the package again. lintian
# must find no error and no warning in it. Needs root or sudo.
# Usage: scripts/package-check.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi

log=$(mktemp)
if ! make --no-print-directory package BUILD="$build" >"$log" 2>&1; then
  cat "$log" >&2
  rm -f "$log"
  exit 1
fi
rm -f "$log"
deb=$(ls -t "$build"/folim_*.deb | head -n 1)
echo "package-check: $deb"
dpkg-deb --info "$deb" | grep -E '^ (Depends|Recommends):'
# What a distribution would reject (errors) or ask to mend (warnings).
lintian --pedantic --fail-on error,warning "$deb"
echo "package-check: lintian reports no error and no warning"

work=$(mktemp -d)
cleanup() {
  $sudo dpkg --purge folim >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

export DEBIAN_FRONTEND=noninteractive
if ! $sudo dpkg -i "$deb" >/dev/null; then
  # Dependencies that are missing come from the archive.
  $sudo apt-get install -y -qq -f >/dev/null
fi

export QT_QPA_PLATFORM=offscreen XDG_CACHE_HOME=$work/cache XDG_CONFIG_HOME=$work/config
[ "$(command -v folim-cli)" = /usr/bin/folim-cli ] || { echo "folim-cli not installed in /usr/bin" >&2; exit 1; }
folim-cli --help >/dev/null
folim-cli params | tail -n 1
folim-cli --quiet encode examples/aqua.jpg "$work/aqua.rim"
folim-cli --quiet decode "$work/aqua.rim" "$work/aqua.png"
folim-cli --quiet decode "$work/aqua.rim" "$work/aqua.bmp"
folim-thumbnailer -s 128 "$work/aqua.rim" "$work/thumb.png"
[ -s "$work/thumb.png" ] || { echo "the thumbnailer wrote nothing" >&2; exit 1; }
cp "$work/aqua.rim" "$work/renamed"
type=$(gio info -a standard::content-type "$work/renamed" | sed -n 's/^ *standard::content-type: //p')
[ "$type" = image/x-rim ] || { echo "a renamed RIM file is $type" >&2; exit 1; }
/usr/bin/python3 tests/install/read_rim_with_qt.py "$work/aqua.rim" "$work/aqua.png" "$work/renamed"

# With the package's Qt plugin in Qt's plugin folder, Folim's own programs
# and tests must behave exactly as without it.
echo "package-check: the tests again, with the package installed"
make --no-print-directory test BUILD="$build"

$sudo dpkg --purge folim >/dev/null
if [ -e /usr/bin/folim-cli ]; then echo "folim-cli left after removal" >&2; exit 1; fi
echo "package-check: installed, used and removed"
