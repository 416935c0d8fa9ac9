#pragma once

#include <ostream>
#include <string>
#include <utility>

#include "core/film/FilmStage.h"

namespace lumafolio {

struct RenderOptions {
  std::string input;   // a player program, a bare film file, a description or a folder of photos
  std::string output;  // .mp4, .webm or .mkv; anything else is a folder for PNG frames
  std::string media;   // where a bare film file's media lie (default: beside it)
  std::string size;    // WIDTHxHEIGHT; empty: the film's own stage (RenderStageSize)
  int fps = 60;
  unsigned seed = 1;
  int loops = 1;
  double manualSeconds = 5.0;
  bool quiet = false;
  bool force = false;  // a folder for frames that is not empty is emptied
};

// The frame size a film renders at unless told otherwise: its stage's, 800x600 for a classic
// film and 1920x1080 (full HD) for one that plays on the screen's size; a side of odd length
// is made one longer, as the video encoders need even sides.
std::pair<int, int> RenderStageSize(const FilmStage& stage);

// Plays the film without a person into a video file or PNG frames: a progress bar on `err`
// when it is a terminal (not with `quiet`), warnings on `err`, one summary line on `out`.
// Throws std::runtime_error with the reason; nothing is then left at the output's name.
void RenderFilm(const RenderOptions& options, std::ostream& out, std::ostream& err);

}  // namespace lumafolio
