#!/usr/bin/env bash
# Regenerates the committed seed corpus of the fuzz targets (fuzz/corpus/)
# with the encoder and the image writers. Seeds keep their names, so a run
# replaces them in place; seeds added by hand (regressions) stay.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-fuzz}
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DFOLIM_BUILD_FUZZ=ON -DFOLIM_BUILD_GUI=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target make_fuzz_corpus
QT_QPA_PLATFORM=offscreen "$build/bin/make_fuzz_corpus" "$root/fuzz/corpus"
du -sh "$root"/fuzz/corpus/* | sed "s|$root/||"
