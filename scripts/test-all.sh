#!/usr/bin/env bash
# Installs what the project needs, builds all four presets and runs every test suite.
# This is what CI runs (.ci/run) and what a developer runs before pushing.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

for preset in native native-release win64 win32; do
  echo "== build $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

echo "== test native"
ctest --preset native
echo "== fuzz the JPEG decoder for a minute (libFuzzer, clang, ASan + UBSan)"
fuzz/run-fuzzer.sh 60
echo "== test win64 (under wine)"
ctest --preset win64
echo "== all tests passed"
