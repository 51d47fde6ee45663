#!/usr/bin/env bash
# Pictures of the main window, one per form, taken without a display:
#   build/screenshots/retrieval.png    examples/ converted to RIM (ICA) in a
#                                      working folder, listed and searched
#                                      for its first image
#   build/screenshots/convert-rim.png  the "Convert to RIM" form on examples/
#   build/screenshots/convert-bmp.png  the "Convert to BMP" form on the RIM files
#   build/screenshots/retrieval-ja.png the retrieval form with Japanese captions
#   build/screenshots/info-panel.png   examples/ sorted by date taken, with the
#                                      information panel of the first photograph
#   build/screenshots/sorted.png       examples/ sorted by size, largest first
#   build/screenshots/picture-zoomed.png a photograph of examples/ at full
#                                      size zoomed to 250 %, with its
#                                      percentage and scroll bars
#   build/screenshots/picture-full-screen.png the same photograph full screen
#   build/screenshots/duplicates.png   the Duplicates window on a copy of
#                                      examples/ with planted copies (resized,
#                                      cropped, mirrored), the largest kept
#   build/screenshots/context-menu.png the thumbnails of that copy with the
#                                      menu of the first one open
set -euo pipefail
build=${1:-build}
root="$(cd "$(dirname "$0")/.." && pwd)"
outdir="$root/$build/screenshots"
mkdir -p "$outdir"

# A settings folder of its own, so that the pictures neither depend on nor
# touch the user's recent-file list; and a screen of a common size.
# The RIM folder lies under build/ so that the folder tree in the pictures
# shows the project rather than the temporary files of the machine.
work="$outdir/work"
rm -rf "$work"
mkdir -m 700 -p "$work"
trap 'rm -rf "$work"' EXIT
cat >"$work/screen.json" <<'JSON'
{ "screens": [ { "name": "screen", "x": 0, "y": 0, "width": 1280, "height": 900,
                 "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1 } ] }
JSON

mkdir -p "$work/rim"
"$root/$build/bin/folim-cli" convert-to-rim --quiet --method ica "$root/examples" "$work/rim" >/dev/null

# English captions unless a language is asked for (LC_ALL of the shot).
shoot() {
  local picture=$1
  shift
  LC_ALL=${SHOT_LANG:-C.UTF-8} QT_QPA_PLATFORM="offscreen:configfile=$work/screen.json" XDG_CONFIG_HOME="$work" \
    XDG_RUNTIME_DIR="$work" XDG_CACHE_HOME="$work/cache" timeout 120 "$root/$build/bin/folim" --screenshot "$outdir/$picture" \
    "$@" 2> >(grep -v -e 'propagateSizeHints' -e 'does not support raise' -e 'grabbing the keyboard' >&2) >/dev/null
  echo "screenshot: $outdir/$picture"
}

shoot retrieval.png --search "$work/rim"
shoot convert-rim.png --tab convert-rim "$root/examples"
shoot convert-bmp.png --tab convert-bmp "$work/rim"
# The same window in Japanese, the original captions.
SHOT_LANG=ja_JP.UTF-8 shoot retrieval-ja.png --search "$work/rim"
shoot info-panel.png --info --sort date-taken "$root/examples"
shoot sorted.png --sort size "$root/examples"
# The full-size window on a photograph: zoomed, then full screen.
shoot picture-zoomed.png --picture-zoom 250 "$root/examples/dune.jpg"
shoot picture-full-screen.png --full-screen --picture-zoom 0 "$root/examples/dune.jpg"

# The window's library work on a copy of examples/ in the working folder, with
# planted copies of three photographs; the index lies there too.
pictures="$work/pictures"
mkdir -p "$pictures"
find "$root/examples" -maxdepth 1 -type f ! -name README.md -exec cp {} "$pictures" \;
convert "$pictures/aqua.jpg" -resize 50% "$pictures/aqua-small.jpg"
convert "$pictures/dune.jpg" -gravity center -crop 85%x85%+0+0 +repage "$pictures/dune-cropped.jpg"
convert "$pictures/storm.jpg" -flop "$pictures/storm-mirrored.jpg"
shoot duplicates.png --duplicates "$pictures"
shoot context-menu.png --context-menu "$pictures"
