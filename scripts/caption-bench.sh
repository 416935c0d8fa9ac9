#!/usr/bin/env bash
# Measures one caption frame with ten captions of 255 bytes on the stage, with the player's
# Windows code under wine, for one effect of each kind. Prints the figures. With WxH (say
# 1920x1080) the stage has that size, on a wine screen of the same size, and the captions grow
# with it as a film's do.
set -euo pipefail
size=${1:-}
screen=()
if [[ -n $size ]]; then screen=(--screen "${size}x24"); fi
cd "$(dirname "$0")/.."
cmake --preset win64 >/dev/null
cmake --build build/win64 --target caption_bench >/dev/null
python3 scripts/wineharness.py run --root build/win64/wine "${screen[@]}" --timeout 300 -- \
  build/win64/bench/caption_bench.exe $size
