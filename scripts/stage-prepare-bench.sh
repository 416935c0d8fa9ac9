#!/usr/bin/env bash
# Times a 24-megapixel photo's preparation for the stage (decode, then the fit to 1920x1080,
# 3840x2160 and the classic 800x600) with the release build. LUMAFOLIO_BENCH_JPEG=photo.jpg
# measures a photo of your own instead of the generated one. Run it on a quiet machine;
# arguments go to Google Benchmark (--benchmark_repetitions=5, say).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset native-release >/dev/null
cmake --build build/native-release --target stage_prepare_bench -j1 >/dev/null
exec build/native-release/bench/stage_prepare_bench "$@"
