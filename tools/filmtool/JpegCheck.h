#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace lumafolio {

// What the player's own JPEG decoder can show, checked before a picture goes into a film. The
// decoder trusts its input and reads a narrow subset: a baseline (SOF0) frame of 8-bit samples,
// greyscale or YCbCr, one scan that interleaves all components, Huffman tables 0 and 1,
// quantisation tables 0 to 3, chroma at 1x1 and luma at 1, 2 or 4 per direction, no fill bytes
// before markers, and restart markers exactly where the restart interval puts them. Anything
// outside that would decode to garbage or run off its tables, so the tool refuses it up front.
struct JpegCheck {
  enum class Result {
    kPlayable,     // the player decodes it as it is
    kProgressive,  // a progressive frame otherwise within the subset: a lossless rewrite helps
    kRefused,
  };
  Result result = Result::kRefused;
  std::string problem;  // for kRefused: why, as a phrase that completes "picture.jpg ..."
  int width = 0;
  int height = 0;
  int components = 0;
};

// Largest width or height accepted: the player keeps a whole decoded picture in memory as a
// 24-bit bitmap on 32-bit Windows, and computes its planes' sizes in 32-bit integers.
constexpr int kMaxPictureSide = 8192;

JpegCheck CheckPlayerJpeg(std::span<const uint8_t> jpeg);

}  // namespace lumafolio
