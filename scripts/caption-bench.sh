#!/usr/bin/env bash
# Measures one caption frame with ten captions of 255 bytes on the stage, with the player's
# Windows code under wine, for one effect of each kind. Prints the figures.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset win64 >/dev/null
cmake --build build/win64 --target caption_bench >/dev/null
python3 scripts/wineharness.py run --root build/win64/wine --timeout 300 -- \
  build/win64/bench/caption_bench.exe
