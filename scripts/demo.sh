#!/usr/bin/env bash
# Builds the demo film program from pictures and a theme tune the project makes itself, prints
# what it holds, renders it to demo.mp4 (a video anyone can watch) and plays it under wine: on your desktop (and sound device) when DISPLAY is set,
# else on a virtual display, leaving screenshots and the music it played as WAV files.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset native-release >/dev/null
cmake --build --preset native-release --target filmtool demopictures
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target player

tools=build/native-release
demo=$tools/demo
rm -rf "$demo"
mkdir -p "$demo"
# Pictures three times the classic size: the film plays on a stage of the screen's size.
"$tools/tools/demopictures/demopictures" --scale 3 "$demo/pictures"
cp demo/film.toml "$demo/film.toml"

"$tools/tools/filmtool/filmtool" build "$demo/film.toml" -o "$demo/LumafolioDemo.exe" \
  --player build/win64/player/player.exe
"$tools/tools/filmtool/filmtool" inspect "$demo/LumafolioDemo.exe"
# The same show as a video file, with the player's own pictures, transitions, captions and music,
# at 1920x1080 (the size a screen film renders at unless --size says otherwise).
"$tools/tools/filmtool/filmtool" render "$demo/LumafolioDemo.exe" -o "$demo/demo.mp4"

python3 scripts/play-film.py "$demo/LumafolioDemo.exe" --root build/win64/wine \
  --screenshots "$demo/screenshots" --seconds 34 --screen 1920x1080  # every item seen once
