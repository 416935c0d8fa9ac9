// Writes a bare film file from a JSON description on standard input, with every field exactly as
// given: the tests use it for films that filmtool would refuse to make (hostile names, odd types).
//   {"loop": 1, "play_mode": 728, "items": [{"type": 1001, "media_file": "..\\x.avi", ...}]}
// Item keys are those of `filmtool inspect --json`, and "captions": [{"text": ..., "font":
// {"face": ..., "height": ...}, ...}]; missing ones keep their defaults. Texts are taken byte for
// byte.
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
    const int32_t position = film.AddItem(item);
    for (const nlohmann::json& text : entry.value("captions", nlohmann::json::array())) {
      Caption caption;
      caption.textEffect = text.value("text_effect", 11);
      caption.text = text.value("text", "");
      caption.left = text.value("left", 0);
      caption.top = text.value("top", 0);
      caption.textColour = text.value("text_colour", 0x00FFFFFFu);
      caption.lineSpacing = text.value("line_spacing", 100);
      caption.alignment = text.value("alignment", 0);
      caption.shadow = text.value("shadow", 0);
      const nlohmann::json font = text.value("font", nlohmann::json::object());
      caption.font.height = font.value("height", -40);
      caption.font.width = font.value("width", 0);
      caption.font.weight = font.value("weight", 400);
      caption.font.italic = font.value("italic", 0);
      caption.font.charSet = font.value("charset", 0);
      caption.font.quality = font.value("quality", 1);
      const std::string face = font.value("face", "Arial");
      face.copy(caption.font.faceName.data(), caption.font.faceName.size());  // may fill all 32
      film.AddCaption(position, caption);
    }
  }
  std::string error;
  if (!WriteCompoundFile(MakeFilmTree(film), argv[1], error)) {
    std::fprintf(stderr, "write_film: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
