#!/usr/bin/env bash
# The demo: shows the whole system working on the bundled photographs.
set -euo pipefail
build=${1:-build}
cli="$build/bin/folim-cli"
examples=examples
demo="$build/demo"

echo "== Conversion parameters (config.ini beside the program)"
"$cli" params

rm -rf "$demo"
mkdir -p "$demo/pca" "$demo/ica" "$demo/pca-bmp" "$demo/ica-bmp"

# Each job prints its final message; the codec trace is left out (--quiet).
for method in pca ica; do
  echo
  echo "== Converting $examples/ to RIM with $(echo $method | tr a-z A-Z) bases into $demo/$method"
  start=$(date +%s.%N)
  # A failed file is listed in the job's message; the demo goes on.
  "$cli" --quiet convert-to-rim --method "$method" "$examples" "$demo/$method" || true
  awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN { printf "   (%.1f s)\n", e - s }'
  echo "== Decoding $demo/$method back to BMP files into $demo/$method-bmp"
  "$cli" --quiet convert-to-bmp "$demo/$method" "$demo/$method-bmp" || true
done

# The PSNR of a decoded BMP against its original, as a bare number.
psnr() {
  "$cli" --quiet compare "$1" "$2" 2>/dev/null | awk '{print $2}' || true
}

# Bits per pixel of a file of $1 bytes holding $2 pixels.
bpp() {
  awk -v b="$1" -v p="$2" 'BEGIN { printf "%.2f", b * 8 / p }'
}

echo
echo "== Sizes and quality (bpp: bits per pixel of the RIM file; PSNR in dB against the original)"
printf '%-18s %9s %10s | %9s %6s %7s | %9s %6s %7s\n' \
  file pixels original "PCA RIM" bpp PSNR "ICA RIM" bpp PSNR
for original in "$examples"/*; do
  name=$(basename "$original")
  lower=$(echo "$name" | tr A-Z a-z)
  stem=${lower:0:${#lower}-3}
  pca="$demo/pca/${stem}rim"
  ica="$demo/ica/${stem}rim"
  [ -f "$pca" ] && [ -f "$ica" ] || continue
  size=$("$cli" info "$pca" | sed -n 's/^  Image = (\([0-9]*\), \([0-9]*\))$/\1 \2/p')
  width=${size% *}
  height=${size#* }
  pixels=$((width * height))
  pca_bytes=$(stat -c %s "$pca")
  ica_bytes=$(stat -c %s "$ica")
  printf '%-18s %9s %10d | %9d %6s %7s | %9d %6s %7s\n' \
    "$name" "${width}x${height}" "$(stat -c %s "$original")" \
    "$pca_bytes" "$(bpp "$pca_bytes" "$pixels")" "$(psnr "$original" "$demo/pca-bmp/${stem}bmp")" \
    "$ica_bytes" "$(bpp "$ica_bytes" "$pixels")" "$(psnr "$original" "$demo/ica-bmp/${stem}bmp")"
done

first=$(ls "$demo/ica"/*.rim | head -n 1)
echo
echo "== Header and section sizes of $first (folim-cli info)"
"$cli" info "$first"

echo
echo "== Similarity search: the ICA files ranked against $first"
"$cli" --quiet search --top 5 "$first" "$demo/ica"

echo
echo "== Smaller files: examples/ at --quality small (rate-distortion optimised) into $demo/small"
mkdir -p "$demo/small"
"$cli" --quiet convert-to-rim --quality small "$examples" "$demo/small"
echo "   PCA RIM files: $(cat "$demo"/pca/*.rim | wc -c) bytes; --quality small: $(cat "$demo"/small/*.rim | wc -c) bytes"

echo
echo "== Any picture as the query: the signature index ranks examples/ (JPEG, TIFF, PNG, GIF) against aqua.jpg"
"$cli" --quiet index --index "$demo/index.sqlite" "$examples"
"$cli" --quiet search --index "$demo/index.sqlite" --top 5 "$examples/aqua.jpg" "$examples"

echo
echo "== An edited copy: dune.jpg with its hues turned 25 degrees, its colours faded by 30 % and a sixth of its size"
mkdir -p "$demo/edited"
find "$examples" -maxdepth 1 -type f ! -name README.md -exec cp {} "$demo/edited" \;
convert "$examples/dune.jpg" -modulate 100,70,114 -resize 17% "$demo/edited/dune-edited.jpg"
"$cli" --quiet index --index "$demo/index.sqlite" "$demo/edited" >/dev/null
echo "   the colour structure (the default) ranks against it:"
"$cli" --quiet search --index "$demo/index.sqlite" --no-refresh --top 3 "$demo/edited/dune-edited.jpg" "$demo/edited"
echo "   the robust measure finds the photograph it was made from:"
"$cli" --quiet search --index "$demo/index.sqlite" --no-refresh --measure robust --top 3 \
  "$demo/edited/dune-edited.jpg" "$demo/edited"
