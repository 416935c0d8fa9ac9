#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "tools/filmtool/JpegRewrite.h"

namespace lumafolio {

// What filmtool may do to a picture beyond the lossless rewrites it always makes.
struct PictureOptions {
  bool convert = false;  // re-encode pictures the player cannot show (PNG, CMYK, RGB, ...)
  int maxWidth = 0;      // shrink pictures larger than this box; 0: keep every size
  int maxHeight = 0;
};

// Quality of the JPEGs filmtool writes: a picture that is converted or shrunk anyway, and one
// re-encoded only to turn it upright, where the user asked for nothing lossy.
constexpr int kConvertQuality = 92;
constexpr int kUprightQuality = 95;

// How much the shrinking saved over a whole film.
struct ShrinkTally {
  int pictures = 0;
  int64_t bytesBefore = 0;
  int64_t bytesAfter = 0;
};

// Makes a picture file (JPEG, or PNG with `convert`) into one the player shows: turned upright
// as its Exif orientation says (losslessly where its size allows), converted or shrunk as the
// options ask, progressive rewritten as baseline. Says on `log` what it changed, one line per
// picture. Throws std::runtime_error with a message that begins with `name` when the picture
// cannot be used.
PlayerPicture PreparePhoto(std::vector<uint8_t> bytes, const std::string& name,
                           const PictureOptions& options, std::ostream& log, ShrinkTally& tally);

// A decoded picture, rows top-down without padding: 1 (grey) or 3 (RGB) channels.
struct Pixels {
  int width = 0;
  int height = 0;
  int channels = 3;
  std::vector<uint8_t> data;
};

// The picture as it is meant to be seen under Exif orientation 1..8.
Pixels TurnUpright(const Pixels& stored, int orientation);
// Area averaging into `width` x `height`, each no larger than the picture's own.
Pixels ShrinkByAveraging(const Pixels& picture, int width, int height);
// The largest size with the picture's aspect ratio inside the box (at least 1x1).
void FitInside(int width, int height, int boxWidth, int boxHeight, int& fitWidth, int& fitHeight);
// A baseline JPEG through libjpeg-turbo: 4:2:0 for colour, greyscale for grey.
std::vector<uint8_t> EncodeJpeg(const Pixels& picture, int quality);
// libjpeg-turbo's decode of any JPEG it reads (CMYK made RGB), full size.
Pixels DecodeJpeg(const std::vector<uint8_t>& jpeg, const std::string& name);

}  // namespace lumafolio
