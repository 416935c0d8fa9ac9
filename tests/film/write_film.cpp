// Writes a bare film file from a JSON description on standard input, with every field exactly as
// given: the tests use it for films that filmtool would refuse to make (hostile names, odd types).
//   {"loop": 1, "play_mode": 728, "items": [{"type": 1001, "media_file": "..\\x.avi", ...}]}
// Item keys are those of `filmtool inspect --json`; missing ones keep their defaults. Texts are
// taken byte for byte.
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>

#include "core/film/CompoundTree.h"
#include "core/film/FilmTree.h"

int main(int argc, char** argv) {
  using namespace lumafolio;
  if (argc != 2) {
    std::fprintf(stderr, "usage: write_film OUT.flm < film.json\n");
    return 2;
  }
  const nlohmann::json description = nlohmann::json::parse(std::cin);
  FilmDocument film;
  film.SetLoopFlag(description.value("loop", 1));
  film.SetPlayMode(description.value("play_mode", static_cast<int>(kPlayTimed)));
  for (const nlohmann::json& entry : description.value("items", nlohmann::json::array())) {
    FilmItem item;
    item.itemType = entry.value("type", static_cast<int>(kItemPicture));
    item.mediaFile = entry.value("media_file", "");
    item.mediaFolder = entry.value("media_folder", "");
    item.posterImage = entry.value("poster_image", "");
    item.endPicture = entry.value("end_picture", "");
    item.musicFile = entry.value("music_file", "0");
    item.imageWidth = entry.value("image_width", 800);
    item.imageHeight = entry.value("image_height", 600);
    item.durationSeconds = entry.value("duration_seconds", 3);
    item.transitionEffect = entry.value("transition_effect", 24);
    item.transitionSteps = entry.value("transition_steps", 10);
    item.musicMode = entry.value("music_mode", static_cast<int>(kMusicKeep));
    film.AddItem(item);
  }
  std::string error;
  if (!WriteCompoundFile(MakeFilmTree(film), argv[1], error)) {
    std::fprintf(stderr, "write_film: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
