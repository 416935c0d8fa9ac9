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
echo "== test native, the SIMD pixel loops in their scalar forms"
cmake --preset native-scalar >/dev/null
cmake --build --preset native-scalar
ctest --preset native-scalar
# Every reader of untrusted bytes is fuzzed for half a minute (libFuzzer, clang, ASan + UBSan).
for target in jpeg film_gsf film_scripted payload description; do
  echo "== fuzz $target for 30 seconds"
  # libFuzzer reports every new path it finds: keep that in a log and show its end.
  fuzz_log=build/fuzz-ci-$target.log
  if ! fuzz/run-fuzzer.sh "$target" 30 >"$fuzz_log" 2>&1; then
    tail -n 60 "$fuzz_log"
    exit 1
  fi
  tail -n 2 "$fuzz_log"
done
echo "== test win64 (under wine)"
ctest --preset win64
echo "== all tests passed"
