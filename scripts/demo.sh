#!/usr/bin/env bash
# Builds the demo film program from pictures the project draws itself and prints what it holds.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset native-release >/dev/null
cmake --build --preset native-release --target filmtool demopictures

build=build/native-release
demo=$build/demo
rm -rf "$demo"
mkdir -p "$demo"
"$build/tools/demopictures/demopictures" "$demo/pictures"
cp demo/film.toml "$demo/film.toml"

# The film rides behind the player program. Until the player is built, a stand-in file takes
# its place, so the demo shows the payload that filmtool writes.
player="$demo/stand-in-player.exe"
printf 'MZ stand-in for the Lumafolio player\n' > "$player"

"$build/tools/filmtool/filmtool" build "$demo/film.toml" -o "$demo/LumafolioDemo.exe" --player "$player"
"$build/tools/filmtool/filmtool" inspect "$demo/LumafolioDemo.exe"
echo "demo film program: $demo/LumafolioDemo.exe"
