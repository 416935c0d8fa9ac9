#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "tools/filmtool/PngFile.h"

namespace lumafolio {

struct TransitionOptions {
  std::string effect;  // a transition name (as filmtool lists them) or a table index
  std::string from;    // JPEG or PNG
  std::string to;
  int steps = 24;         // the last step: steps + 1 frames are drawn
  std::string framesDir;  // one PNG per frame, when set
  std::string sheet;      // one contact sheet PNG, when set
  unsigned seed = 1;      // seeds the random effects and stands in for their clock
};

// Renders every frame of one transition between two pictures, each fitted to the 800 x 600
// stage and centred on black as the player shows them, through the player's own effect library.
// Throws std::runtime_error with a message for the user.
void RenderTransition(const TransitionOptions& options, std::ostream& log);

// A decoded picture in the stage's pixel layout: bottom-up BGR rows of `stride` bytes. A JPEG's
// width is the decoder's, rounded up to a multiple of 8 as the player shows it.
struct BgrPicture {
  int width = 0;
  int height = 0;
  std::size_t stride = 0;
  std::vector<std::uint8_t> bytes;
  bool rewritten = false;         // a progressive JPEG, decoded from its baseline rewrite
  std::vector<std::uint8_t> dib;  // a JPEG's: the decoder's whole bitmap file
  const std::uint8_t* Pixel(int x, int row) const {
    return bytes.data() + static_cast<std::size_t>(row) * stride + static_cast<std::size_t>(x) * 3;
  }
};

// A JPEG as the player decodes it, after the checks `build` makes (a progressive one rewritten
// as baseline first), or a PNG file (read from `name`). Throws std::runtime_error with the
// reason a picture cannot be shown.
BgrPicture DecodePlayerPicture(std::vector<std::uint8_t> data, const std::string& name);

// The picture fitted and centred on a black stage as the player places it (core FitRect), drawn
// with nearest samples: 24-bit rows, bottom-up, padded to four bytes.
std::vector<std::uint8_t> FitToStage(const BgrPicture& picture, int width, int height);

// A picture file (JPEG through the player's decoder, or PNG) fitted and centred on a black
// stage of `width` x `height`: 24-bit rows, bottom-up, padded to four bytes.
std::vector<std::uint8_t> LoadStagePicture(const std::string& path, int width, int height);

// A stage picture as a top-down RGB image, and frames laid out left to right, top to bottom,
// each shrunk by `shrink` (box average) with a gap between them.
RgbImage StageToRgb(const std::uint8_t* bits, int width, int height);
RgbImage ContactSheet(const std::vector<RgbImage>& frames, int columns, int shrink);

}  // namespace lumafolio
