#!/bin/sh
# Fuzzes one target with libFuzzer (clang, ASan, UBSan), seeded by the corpus that the native
# build's seed generator writes and by the target's past findings.
#
# Usage: fuzz/run-fuzzer.sh [TARGET] [SECONDS] [LIBFUZZER OPTIONS...]
#   TARGET   jpeg (the default): the JPEG decoder
#            film_gsf: the film reader over libgsf, from film-file bytes
#            film_scripted: the film reader over a storage tree decoded from the input
#            payload: marker search, media layout, `filmtool inspect` and `extract`
#            description: the film description reader of `filmtool build`
#   SECONDS  default 60; CI runs a short fixed time, a longer run is e.g. 1800.
#   The rest goes to libFuzzer, e.g. -jobs=1 (a run in a child process, its log in
#   build/fuzz/TARGET/fuzz-0.log) or -print_final_stats=1.
# A bare number as the first argument is the decoder's time, as before: fuzz/run-fuzzer.sh 1800.
# Findings land in build/fuzz/TARGET/findings; each one becomes a file in
# fuzz/regressions/TARGET (replayed by the TARGET.fuzz_replay test) plus a unit test.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
target=jpeg
case ${1:-} in
  '' | *[!0-9]*) [ $# -gt 0 ] && { target=$1; shift; } ;;
esac
seconds=${1:-60}
[ $# -gt 0 ] && shift
out=$root/build/fuzz/$target
mkdir -p "$out/corpus" "$out/findings"

compile() {
  clang++-14 -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    -I"$root" "$@" -o "$out/fuzzer"
}
film="$root/core/film/FilmDocument.cpp $root/core/film/FilmReader.cpp $root/core/film/FilmRecords.cpp
  $root/core/film/FilmStage.cpp"
gsf="$root/tools/filmfile/GsfFilmStorage.cpp $root/tools/filmfile/GsfMessages.cpp"
tool=$root/tools/filmtool
# filmtool names effects from the effect tables, which hold every effect routine: those come
# uninstrumented from the release build's core library (CI builds it before fuzzing).
effects() {
  cmake --build "$root/build/native-release" --target lumafolio_core >/dev/null
  echo "$root/build/native-release/core/liblumafolio_core.a"
}
max_len=262144
# Only the code under test and the target are built with clang: no need for the whole project.
# toml++ is built from its header here, so that the fuzzer sees and steers the parser too.
case $target in
  jpeg)
    seeder=jpeg_fuzz_seeds
    compile "$root"/core/jpeg/HuffmanLookup.cpp "$root"/core/jpeg/InverseDct.cpp \
      "$root"/core/jpeg/JpegBitReader.cpp "$root"/core/jpeg/JpegDecoder.cpp \
      "$root"/core/jpeg/JpegDib.cpp "$root/fuzz/JpegDecoderFuzzer.cpp" ;;
  film_gsf)
    seeder="film_fuzz_seeds film_gsf"
    # shellcheck disable=SC2046,SC2086
    compile $film $gsf "$root/fuzz/FilmGsfFuzzer.cpp" $(pkg-config --cflags --libs libgsf-1) ;;
  film_scripted)
    seeder="film_fuzz_seeds film_scripted"
    max_len=65536
    # shellcheck disable=SC2086
    compile $film "$root/core/film/FilmTree.cpp" "$root/fuzz/ScriptedStorage.cpp" \
      "$root/fuzz/FilmScriptedFuzzer.cpp" ;;
  payload)
    seeder="film_fuzz_seeds payload"
    # shellcheck disable=SC2046,SC2086
    # extract writes the film's description and reads it back as build would: the writer, the
    # reader and the picture checks it uses are fuzzed with it.
    compile -DTOML_HEADER_ONLY=1 $film $gsf "$root"/core/payload/MediaLayout.cpp \
      "$root"/core/payload/PlayerPayload.cpp "$root"/core/payload/SafeMediaName.cpp \
      "$root"/core/payload/SizeCodedName.cpp "$tool"/InspectCommand.cpp "$tool"/ExtractCommand.cpp \
      "$tool"/FilmSource.cpp "$tool"/FilmJson.cpp "$tool"/Cp1252.cpp "$tool"/CopyRange.cpp \
      "$tool"/Printable.cpp "$tool"/TempFiles.cpp "$tool"/EffectNames.cpp \
      "$tool"/DescriptionWriter.cpp "$tool"/Description.cpp "$tool"/JpegRewrite.cpp \
      "$tool"/JpegCheck.cpp "$root/fuzz/PayloadFuzzer.cpp" "$(effects)" \
      $(pkg-config --cflags --libs libgsf-1 libturbojpeg) ;;
  description)
    seeder="film_fuzz_seeds description"
    max_len=16384
    compile -DTOML_HEADER_ONLY=1 "$tool"/Description.cpp "$tool"/Cp1252.cpp "$tool"/EffectNames.cpp \
      "$tool"/TempFiles.cpp "$root"/core/payload/PlayerPayload.cpp "$root/fuzz/DescriptionFuzzer.cpp" \
      "$(effects)" ;;
  *)
    echo "run-fuzzer.sh: unknown target $target (jpeg, film_gsf, film_scripted, payload, description)" >&2
    exit 2 ;;
esac
# The seeds come from the native build's generator (libjpeg-turbo's compressor for the decoder,
# libgsf for films).
cmake --build "$root/build/native" --target "${seeder%% *}" >/dev/null
rm -rf "$out/seeds"
# shellcheck disable=SC2086
"$root/build/native/fuzz/"$seeder "$out/seeds"
# A dictionary of the format's words, where the target has one.
dict=$root/fuzz/dicts/$target.dict
[ -f "$dict" ] && set -- -dict="$dict" "$@"
# Leaks of libgsf's own, which no code of ours can free (see the file).
export LSAN_OPTIONS="suppressions=$root/fuzz/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
# libFuzzer's -jobs runs write their logs into the current folder.
cd "$out"
"$out/fuzzer" -max_total_time="$seconds" -rss_limit_mb=2048 -max_len="$max_len" \
  -artifact_prefix="$out/findings/" "$@" "$out/corpus" "$out/seeds" "$root/fuzz/regressions/$target"
