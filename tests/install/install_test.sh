#!/usr/bin/env bash
# Installs the build into a staging prefix and uses it as a desktop would:
# every file in its place, config.ini found in the right order, the RIM type
# known by content, the thumbnailer, and the Qt image plugin read by a PyQt6
# client; the installed programs never write into their own tree.
# Usage: install_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$(cd "$1" && pwd) src=$(cd "$2" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
stage=$work/stage
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$stage" >/dev/null

files=(bin/folim-cli bin/folim-thumbnailer share/folim/config.ini
  share/applications/folim.desktop share/mime/packages/folim.xml
  share/thumbnailers/folim.thumbnailer share/icons/hicolor/scalable/apps/folim.svg
  share/man/man1/folim.1.gz share/man/man1/folim-cli.1.gz share/man/man1/folim-thumbnailer.1.gz
  share/bash-completion/completions/folim-cli share/doc/folim/copyright share/doc/folim/changelog.gz)
for size in 16 32 48 64 128 256; do files+=("share/icons/hicolor/${size}x$size/apps/folim.png"); done
[ -x "$build/bin/folim" ] && files+=(bin/folim)
for f in "${files[@]}"; do [ -e "$stage/$f" ] || fail "not installed: $f"; done
compgen -G "$stage/share/metainfo/*.metainfo.xml" >/dev/null || fail "no metainfo installed"
plugin=$(find "$stage" -path '*/imageformats/libqrim.so' | head -n 1)
[ -n "$plugin" ] || fail "no imageformats/libqrim.so installed"
# The MIME database is made here, as the package's scripts make it.
XDG_DATA_DIRS="$stage/share:/usr/share" update-mime-database "$stage/share/mime"
find "$stage" | sort >"$work/tree.before"

export XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache XDG_DATA_HOME=$work/data
export QT_QPA_PLATFORM=offscreen
cli=$stage/bin/folim-cli

# config.ini: the installed default, then the user's own once it is there.
last=$("$cli" params | tail -n 1)
[ "$last" = "Config file: $stage/share/folim/config.ini" ] || fail "params read: $last"
mkdir -p "$XDG_CONFIG_HOME/folim"
sed 's/^PatchWidth=.*/PatchWidth=4/' "$src/config.ini" >"$XDG_CONFIG_HOME/folim/config.ini"
out=$("$cli" params)
[ "$(tail -n 1 <<<"$out")" = "Config file: $XDG_CONFIG_HOME/folim/config.ini" ] ||
  fail "params ignores the user's config.ini"
grep -q "Patch = (4, 8)" <<<"$out" || fail "the user's PatchWidth is not used"
rm -r "$XDG_CONFIG_HOME/folim"

# A RIM file, decoded, and a copy without its extension.
"$cli" --quiet encode "$src/examples/aqua.jpg" "$work/aqua.rim"
"$cli" --quiet decode "$work/aqua.rim" "$work/aqua.png"
"$cli" --quiet decode "$work/aqua.rim" "$work/aqua.bmp"
cp "$work/aqua.rim" "$work/renamed"

# The MIME type by content, as shared-mime-info sees it.
printf 'RF is how this text begins\n' >"$work/text"
type_of() { XDG_DATA_DIRS="$stage/share:/usr/share" gio info -a standard::content-type "$1" |
  sed -n 's/^ *standard::content-type: //p'; }
[ "$(type_of "$work/renamed")" = image/x-rim ] || fail "renamed RIM is $(type_of "$work/renamed")"
[ "$(type_of "$work/aqua.rim")" = image/x-rim ] || fail "aqua.rim is $(type_of "$work/aqua.rim")"
[ "$(type_of "$work/text")" != image/x-rim ] || fail "a text file passes for RIM"

# The thumbnailer: a PNG of the asked size, nothing for a damaged file.
png_size() { od -An -tu1 -j16 -N8 "$1" |
  awk '{print $1*16777216+$2*65536+$3*256+$4 "x" $5*16777216+$6*65536+$7*256+$8}'; }
"$stage/bin/folim-thumbnailer" -s 128 "$work/renamed" "$work/thumb.png"
width=$(png_size "$work/aqua.png" | cut -dx -f1) height=$(png_size "$work/aqua.png" | cut -dx -f2)
want=$(awk -v w="$width" -v h="$height" 'BEGIN {
  if (w >= h) printf "128x%d", int(h * 128 / w + 0.5); else printf "%dx128", int(w * 128 / h + 0.5) }')
[ "$(png_size "$work/thumb.png")" = "$want" ] || fail "thumbnail $(png_size "$work/thumb.png"), want $want"
"$stage/bin/folim-thumbnailer" -s 256 "file://$work/aqua.rim" "$work/large.png"
[ -s "$work/large.png" ] || fail "no thumbnail for a file:// URI"
head -c 300 "$work/aqua.rim" >"$work/cut.rim"
for damaged in "$work/cut.rim" "$work/text" "$work/missing.rim"; do
  if "$stage/bin/folim-thumbnailer" -s 128 "$damaged" "$work/bad.png" 2>/dev/null; then
    fail "thumbnailer accepted $damaged"
  fi
  [ ! -e "$work/bad.png" ] || fail "thumbnailer wrote for $damaged"
done

# The Qt image plugin, from a Qt program that is not ours.
QT_PLUGIN_PATH=$(dirname "$(dirname "$plugin")") /usr/bin/python3 \
  "$src/tests/install/read_rim_with_qt.py" "$work/aqua.rim" "$work/aqua.png" "$work/renamed"

find "$stage" | sort >"$work/tree.after"
diff -u "$work/tree.before" "$work/tree.after" || fail "the installed programs wrote into their tree"
echo "install test passed"
