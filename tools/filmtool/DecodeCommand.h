#pragma once

#include <cstdint>
#include <ostream>
#include <string>

namespace lumafolio {

struct DecodeOptions {
  std::string input;    // a JPEG or PNG file, a player program, any file holding a JPEG
  int64_t offset = 0;   // where the JPEG starts in `input`
  int32_t item = 0;     // or, when not 0, the picture of this item (1-based) of a player program
  std::string output;   // a PNG file when it ends in ".png", else a BMP file
  bool fitted = false;  // the 800x600 stage with the picture fitted on it, instead of the picture
};

// Runs the player's own JPEG decoder on a picture and writes the bitmap the player would show,
// after the checks `filmtool build` makes: a picture the player cannot show is refused with the
// reason, a progressive one is decoded from its baseline rewrite. A video item's picture is its
// poster. Throws std::runtime_error when a file cannot be read or written or the picture is
// refused.
void DecodePicture(const DecodeOptions& options, std::ostream& log);

}  // namespace lumafolio
