#!/bin/sh
# Fuzzes the JPEG decoder with libFuzzer (clang, ASan, UBSan), seeded by the corpus that
# jpeg_fuzz_seeds writes. Usage: fuzz/run-fuzzer.sh [SECONDS] (default 60; CI runs a short
# fixed time, a longer run is e.g. fuzz/run-fuzzer.sh 1800). Findings land in
# build/fuzz/findings; a crash found becomes a file in fuzz/regressions plus a unit test.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
out=$root/build/fuzz
mkdir -p "$out/corpus" "$out/findings"
# The seeds come from the native build's generator (libjpeg-turbo's compressor).
cmake --build "$root/build/native" --target jpeg_fuzz_seeds >/dev/null
"$root/build/native/fuzz/jpeg_fuzz_seeds" "$out/seeds"
# Only the decoder and the target are built with clang: no need for the whole project.
clang++-14 -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -I"$root" "$root"/core/jpeg/HuffmanLookup.cpp "$root"/core/jpeg/InverseDct.cpp "$root"/core/jpeg/JpegBitReader.cpp \
  "$root"/core/jpeg/JpegDecoder.cpp "$root"/core/jpeg/JpegDib.cpp "$root/fuzz/JpegDecoderFuzzer.cpp" \
  -o "$out/jpeg_fuzzer"
"$out/jpeg_fuzzer" -max_total_time="$seconds" -rss_limit_mb=2048 -max_len=262144 \
  -artifact_prefix="$out/findings/" "$out/corpus" "$out/seeds" "$root/fuzz/regressions"
