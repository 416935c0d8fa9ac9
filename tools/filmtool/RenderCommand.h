#pragma once

#include <ostream>
#include <string>

namespace lumafolio {

struct RenderOptions {
  std::string input;   // a player program, a bare film file, a description or a folder of photos
  std::string output;  // .mp4, .webm or .mkv; anything else is a folder for PNG frames
  std::string media;   // where a bare film file's media lie (default: beside it)
  std::string size = "800x600";
  int fps = 60;
  unsigned seed = 1;
  int loops = 1;
  double manualSeconds = 5.0;
  bool quiet = false;
  bool force = false;  // a folder for frames that is not empty is emptied
};

// Plays the film without a person into a video file or PNG frames: a progress bar on `err`
// when it is a terminal (not with `quiet`), warnings on `err`, one summary line on `out`.
// Throws std::runtime_error with the reason; nothing is then left at the output's name.
void RenderFilm(const RenderOptions& options, std::ostream& out, std::ostream& err);

}  // namespace lumafolio
