#!/usr/bin/env bash
# Whole processes, side by side: folim-cli decode/encode against djpeg/cjpeg
# on the same photographs (the MATE nature backgrounds: three 1920x1080 crops
# and one 12-megapixel enlargement), the normal preset against cwebp/dwebp,
# an index build of the 12-megapixel JPEG against djpeg -scale 1/4, plus ICA
# at 1080p, batch conversion on one and on two workers, and the peak memory
# of a 6000x4000 round trip. Runs alternate between the tools, so that a busy
# machine slows both alike; each figure is the median of the rounds.
#
#   scripts/bench-vs-jpeg.sh BUILD_DIR [ROUNDS]
set -euo pipefail
build=${1:-build-bench}
rounds=${2:-${BENCH_ROUNDS:-5}}
cli="$build/bin/folim-cli"
photos=/usr/share/backgrounds/mate/nature
work="$build/vs-jpeg"
for tool in djpeg cjpeg cwebp dwebp convert; do
  command -v "$tool" >/dev/null || { echo "bench-vs-jpeg: $tool is missing (make deps)" >&2; exit 1; }
done
[ -x "$cli" ] || { echo "bench-vs-jpeg: $cli is missing" >&2; exit 1; }
[ -d "$photos" ] || { echo "bench-vs-jpeg: $photos is missing (make deps)" >&2; exit 1; }
mkdir -p "$work"

# The photographs: 1080p crops from the middle, and Wood enlarged to 12 MP.
names=(Aqua Garden LadyBird Wood12)
prepare() {
  local name=$1 out="$work/$1.ppm"
  [ -s "$out" ] && return
  case $name in
    Wood12) convert "$photos/Wood.jpg" -resize '4000x3000!' "$out" ;;
    Big24) convert "$photos/TwoWings.jpg" -resize '6000x4000!' "$out" ;;
    *) convert "$photos/$name.jpg" -gravity center -crop 1920x1080+0+0 +repage "$out" ;;
  esac
}
for n in "${names[@]}" Big24; do prepare "$n"; done
for n in "${names[@]}"; do
  cjpeg -quality 95 -sample 1x1 "$work/$n.ppm" >"$work/$n.jpg"
  "$cli" --quiet encode "$work/$n.ppm" "$work/$n.rim"
  cwebp -quiet -q 90 "$work/$n.ppm" -o "$work/$n.webp"
  "$cli" --quiet encode --quality normal "$work/$n.ppm" "$work/$n.normal.rim"
done
# The index reads 8 copies of the 12-megapixel JPEG in a folder of their own:
# a library is indexed many pictures to a process, so the figure is per
# picture, the process's start shared among them as in real use.
indexed=8
rm -rf "$work/index12"
mkdir -p "$work/index12"
for ((i = 1; i <= indexed; i++)); do cp "$work/Wood12.jpg" "$work/index12/Wood12-$i.jpg"; done

# Milliseconds of one command as WALL:CPU, the CPU time being user + system
# of the process and its children: on a machine that other work keeps busy
# the CPU ratios stay readable when the wall-clock ones do not. The disk is
# flushed first (not timed), so that a tool which syncs its output does not
# also pay for what the tools before it left unwritten.
millis() {
  local TIMEFORMAT='%3R %3U %3S' out
  sync
  out=$({ time "$@" >/dev/null 2>&1; } 2>&1)
  awk '{printf "%d:%d\n", $1 * 1000, ($2 + $3) * 1000}' <<<"$out"
}
median() { sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

declare -A t
for ((r = 0; r < rounds; r++)); do
  for n in "${names[@]}"; do
    t[$n.djpeg]+="$(millis djpeg -bmp -outfile "$work/out.bmp" "$work/$n.jpg") "
    t[$n.dec1]+="$(millis "$cli" --quiet --threads 1 decode "$work/$n.rim" "$work/out.bmp") "
    t[$n.dec]+="$(millis "$cli" --quiet decode "$work/$n.rim" "$work/out.bmp") "
    t[$n.cjpeg]+="$(millis cjpeg -quality 95 -sample 1x1 -outfile "$work/out.jpg" "$work/$n.ppm") "
    t[$n.enc1]+="$(millis "$cli" --quiet --threads 1 encode "$work/$n.ppm" "$work/out.rim") "
    t[$n.enc]+="$(millis "$cli" --quiet encode "$work/$n.ppm" "$work/out.rim") "
  done
done
# The normal preset against WebP at quality 90, both ways; and an index
# build of the 12-megapixel JPEGs (a fresh index each time) against the
# quarter-size decode of each that any thumbnail of it needs.
for ((r = 0; r < rounds; r++)); do
  for n in "${names[@]}"; do
    t[$n.cwebp]+="$(millis cwebp -quiet -q 90 "$work/$n.ppm" -o "$work/out.webp") "
    t[$n.encn]+="$(millis "$cli" --quiet --threads 1 encode --quality normal "$work/$n.ppm" "$work/out.rim") "
    t[$n.dwebp]+="$(millis dwebp -quiet "$work/$n.webp" -bmp -o "$work/out.bmp") "
    t[$n.decn]+="$(millis "$cli" --quiet --threads 1 decode "$work/$n.normal.rim" "$work/out.bmp") "
  done
  rm -f "$work/index12.sqlite"*
  t[index.djpeg]+="$(millis bash -c 'for f in "$1"/*.jpg; do djpeg -scale 1/4 -bmp -outfile "$2" "$f"; done' \
    - "$work/index12" "$work/out.bmp") "
  t[index.cli]+="$(millis "$cli" --quiet --threads 1 index --jobs 1 --index "$work/index12.sqlite" "$work/index12") "
done
# Median wall-clock (med) and CPU (cpu) milliseconds of a figure.
med() { tr ' ' '\n' <<<"${t[$1]}" | grep . | cut -d: -f1 | median; }
cpu() { tr ' ' '\n' <<<"${t[$1]}" | grep . | cut -d: -f2 | median; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.1fx", (b > 0 ? a / b : 0)}'; }
# "WALL ms (CPU ms)" of one WALL:CPU pair.
both() { awk -F: '{printf "%s ms (CPU %s ms)", $1, $2}' <<<"$1"; }

echo "== whole processes against libjpeg-turbo (median of $rounds alternating rounds, ms; cpu: user + system)"
printf '%-9s %7s %8s %8s %7s %7s | %7s %8s %8s %7s %7s\n' photo djpeg dec-1thr dec-all wall-x \
  cpu-x cjpeg enc-1thr enc-all wall-x cpu-x
for n in "${names[@]}"; do
  dj=$(med "$n.djpeg"); d1=$(med "$n.dec1"); da=$(med "$n.dec")
  cj=$(med "$n.cjpeg"); e1=$(med "$n.enc1"); ea=$(med "$n.enc")
  printf '%-9s %7s %8s %8s %7s %7s | %7s %8s %8s %7s %7s\n' "$n" "$dj" "$d1" "$da" \
    "$(ratio "$d1" "$dj")" "$(ratio "$(cpu "$n.dec1")" "$(cpu "$n.djpeg")")" \
    "$cj" "$e1" "$ea" "$(ratio "$e1" "$cj")" "$(ratio "$(cpu "$n.enc1")" "$(cpu "$n.cjpeg")")"
done
echo "(ratio: folim-cli on one thread over the libjpeg-turbo tool; -sample 1x1 -quality 95)"
printf '%-9s %7s %8s %7s | %7s %8s\n' "cpu ms" djpeg dec-1thr "" cjpeg enc-1thr
for n in "${names[@]}"; do
  printf '%-9s %7s %8s %7s | %7s %8s\n' "$n" "$(cpu "$n.djpeg")" "$(cpu "$n.dec1")" "" \
    "$(cpu "$n.cjpeg")" "$(cpu "$n.enc1")"
done

echo "== --quality normal against WebP (cwebp -q 90, dwebp), one thread, median ms"
printf '%-9s %7s %8s %7s %7s | %7s %8s %7s %7s\n' photo cwebp enc-1thr wall-x cpu-x dwebp \
  dec-1thr wall-x cpu-x
for n in "${names[@]}"; do
  cw=$(med "$n.cwebp"); en=$(med "$n.encn"); dw=$(med "$n.dwebp"); dn=$(med "$n.decn")
  printf '%-9s %7s %8s %7s %7s | %7s %8s %7s %7s\n' "$n" "$cw" "$en" "$(ratio "$en" "$cw")" \
    "$(ratio "$(cpu "$n.encn")" "$(cpu "$n.cwebp")")" "$dw" "$dn" "$(ratio "$dn" "$dw")" \
    "$(ratio "$(cpu "$n.decn")" "$(cpu "$n.dwebp")")"
done
per() { awk -v a="$1" -v n="$indexed" 'BEGIN {printf "%.0f", a / n}'; }
ij=$(per "$(med index.djpeg)"); ic=$(per "$(med index.cli)")
cij=$(per "$(cpu index.djpeg)"); cic=$(per "$(cpu index.cli)")
echo "== index build of $indexed 12-megapixel JPEGs, per picture: $ic ms, djpeg -scale 1/4 $ij ms," \
  "$(ratio "$ic" "$ij") (CPU $cic ms against $cij ms, $(ratio "$cic" "$cij"))"

# What every run pays before any pixel: loading the program and its
# libraries (the command line links the Qt image library).
for ((r = 0; r < rounds; r++)); do
  t[start.cli]+="$(millis "$cli" --version) "
  t[start.djpeg]+="$(millis djpeg -version) "
done
echo "== start-up alone: folim-cli --version $(med start.cli) ms (CPU $(cpu start.cli) ms)," \
  "djpeg -version $(med start.djpeg) ms (CPU $(cpu start.djpeg) ms)"

echo "== ICA, 100 iterations, ${names[0]} 1920x1080"
for threads in 1 0; do
  opt=(); label="all cores"
  [ "$threads" = 1 ] && opt=(--threads 1) && label="1 thread"
  ms=$(millis "$cli" --quiet "${opt[@]}" encode --method ica "$work/${names[0]}.ppm" "$work/ica.rim")
  echo "  $label: $(both "$ms") (whole encode)"
done

# Sixteen photographs converted by one worker and by two: how far the batch
# scales with the cores (on a machine with at least two).
batch="$work/batch"
mkdir -p "$batch/in"
for i in $(seq 1 4); do
  for n in Aqua Garden LadyBird Wood12; do
    [ -e "$batch/in/$n-$i.ppm" ] || ln "$work/$n.ppm" "$batch/in/$n-$i.ppm"
  done
done
for jobs in 1 2; do
  rm -rf "$batch/out"
  mkdir "$batch/out"
  t[batch.$jobs]="$(millis "$cli" --quiet --threads 1 convert-to-rim --jobs "$jobs" "$batch/in" "$batch/out")"
done
echo "== convert-to-rim, 16 photographs: --jobs 1 $(both "${t[batch.1]}"), --jobs 2" \
  "$(both "${t[batch.2]}"), speed-up $(ratio "$(med batch.1)" "$(med batch.2)")"

echo "== peak memory, 6000x4000 round trip"
if [ -x /usr/bin/time ]; then
  for step in encode decode; do
    if [ $step = encode ]; then args=(encode "$work/Big24.ppm" "$work/Big24.rim")
    else args=(decode "$work/Big24.rim" "$work/Big24.bmp"); fi
    kb=$(/usr/bin/time -f '%M' "$cli" --quiet "${args[@]}" 2>&1 >/dev/null | tail -1)
    awk -v kb="$kb" -v s="$step" 'BEGIN {printf "  %s: %.0f MB, %.1f bytes per pixel\n", s, kb / 1024, kb * 1024 / 24e6}'
  done
else
  echo "  (GNU time is missing: no peak memory)"
fi
