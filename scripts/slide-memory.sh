#!/usr/bin/env bash
# Peak memory of the slide image's decode under wine: makes a 4000x3000 (12 MP) and an
# 8192x8192 (64 MP, the decoder's limit) picture with libjpeg-turbo's cjpeg, then runs
# build/win64/bench/slide_memory on each in its own process. Prints the figures.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset win64 >/dev/null
cmake --build build/win64 --target slide_memory >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 - "$work" <<'PY'
import sys
work = sys.argv[1]
for name, (w, h) in {"12mp": (4000, 3000), "64mp": (8192, 8192)}.items():
    # Diagonal colour ramps: each row is the same long line, begun one pixel further on.
    line = bytes(v for x in range(w + h) for v in ((x * 3) % 256, (x // 7) % 256, (x * 5 // 3) % 256))
    with open(f"{work}/{name}.ppm", "wb") as out:
        out.write(b"P6 %d %d 255\n" % (w, h))
        for y in range(h):
            out.write(line[3 * y : 3 * (y + w)])
PY
for name in 12mp 64mp; do
  cjpeg -quality 90 "$work/$name.ppm" > "$work/$name.jpg"
  rm "$work/$name.ppm"
  python3 scripts/wineharness.py run --root build/win64/wine --timeout 300 -- \
    build/win64/bench/slide_memory.exe "$work/$name.jpg"
done
