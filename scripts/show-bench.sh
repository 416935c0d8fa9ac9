#!/usr/bin/env bash
# Measures the show step's latency, a running transition's step, a caption frame's redraw and a
# worker preparation with the player's Windows code under wine, on the classic stage and on a
# screen-sized one: makes an 800x600 JPEG with cjpeg and a noisy 6000x4000 (24 MP) photo-like one
# with ImageMagick, then runs build/win64/bench/show_bench on them in a harness session with a
# screen of each size given (default 1920x1080 and 3840x2160). Prints the figures.
#   scripts/show-bench.sh [WIDTHxHEIGHT ...]
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset win64 >/dev/null
cmake --build build/win64 --target show_bench >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 - "$work" <<'PY'
import random, sys
work = sys.argv[1]
for name, (w, h) in {"stage": (800, 600)}.items():
    random.seed(7)
    rows = bytearray()
    for y in range(h):
        for x in range(w):
            rows += bytes(((x * 3 + y) % 256, (x // 7 + y // 5) % 256, (x ^ y) % 256))
    open(f"{work}/{name}.ppm", "wb").write(b"P6 %d %d 255\n" % (w, h) + bytes(rows))
PY
cjpeg -quality 90 "$work/stage.ppm" > "$work/stage.jpg"
/usr/bin/convert -seed 7 -size 6000x4000 plasma:fractal -blur 0x1 -attenuate 0.4 +noise Gaussian \
  -quality 90 -sampling-factor 2x2 "$work/large.jpg"
sizes=("$@")
[[ ${#sizes[@]} -gt 0 ]] || sizes=(1920x1080 3840x2160)
for size in "${sizes[@]}"; do
  echo "== screen $size"
  python3 scripts/wineharness.py run --root build/win64/wine --screen "${size}x24" --timeout 300 -- \
    build/win64/bench/show_bench.exe "$work/stage.jpg" "$work/large.jpg"
done
