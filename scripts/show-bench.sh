#!/usr/bin/env bash
# Measures the show step's latency and a worker preparation with the player's Windows code under
# wine: makes an 800x600 and a 4000x3000 photo-like JPEG with libjpeg-turbo's cjpeg, then runs
# build/win64/bench/show_bench on them in a harness session. Prints the figures.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset win64 >/dev/null
cmake --build build/win64 --target show_bench >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 - "$work" <<'PY'
import random, sys
work = sys.argv[1]
for name, (w, h) in {"stage": (800, 600), "large": (4000, 3000)}.items():
    random.seed(7)
    rows = bytearray()
    for y in range(h):
        for x in range(w):
            rows += bytes(((x * 3 + y) % 256, (x // 7 + y // 5) % 256, (x ^ y) % 256))
    open(f"{work}/{name}.ppm", "wb").write(b"P6 %d %d 255\n" % (w, h) + bytes(rows))
PY
for name in stage large; do cjpeg -quality 90 "$work/$name.ppm" > "$work/$name.jpg"; done
python3 scripts/wineharness.py run --root build/win64/wine --timeout 300 -- \
  build/win64/bench/show_bench.exe "$work/stage.jpg" "$work/large.jpg"
