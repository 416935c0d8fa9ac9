#!/usr/bin/env bash
# Measures filmtool render on the demo film with the release build: to MP4 at 800x600 / 60 fps
# and at 1920x1080 / 30 fps, each once, one after the other. Prints frames a second, the ratio to
# real time and the peak memory (resident set) of each run. Run it on a quiet machine.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset native-release >/dev/null
cmake --build build/native-release --target filmtool demopictures >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
build/native-release/tools/demopictures/demopictures "$work/pictures" >/dev/null
cp demo/film.toml "$work/film.toml"
for run in "800x600 60" "1920x1080 30"; do
  set -- $run
  /usr/bin/time -f "%e %M" -o "$work/time" build/native-release/tools/filmtool/filmtool render \
    "$work/film.toml" -o "$work/demo-$1.mp4" --size "$1" --fps "$2" --quiet
  read -r seconds kilobytes < "$work/time"
  frames=$(ffprobe -v error -count_packets -select_streams v:0 -show_entries stream=nb_read_packets \
    -of csv=p=0 "$work/demo-$1.mp4")
  awk -v size="$1" -v fps="$2" -v frames="$frames" -v s="$seconds" -v kb="$kilobytes" 'BEGIN {
    printf "%-9s %2d fps: %5d frames in %6.1f s = %6.1f frames/s, %5.2fx real time, peak %4.0f MB\n",
           size, fps, frames, s, frames / s, frames / fps / s, kb / 1024 }'
done
