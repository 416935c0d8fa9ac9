#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace lumafolio {

// Rewrites a progressive JPEG as a baseline one without touching its coefficients (libjpeg-turbo's
// lossless transform), so the picture decodes to exactly the same pixels. Throws
// std::runtime_error with libjpeg-turbo's reason on failure.
std::vector<uint8_t> RewriteAsBaseline(std::span<const uint8_t> jpeg);

// Turns a picture upright by moving its coefficients (libjpeg-turbo's lossless transform) for an
// Exif orientation 2..8, written as baseline with its markers kept. Only a perfect transform is
// accepted: an edge of partial MCUs would otherwise be dropped or left in the wrong place.
// Nothing when the picture's size does not allow one (or libjpeg-turbo cannot transform it).
std::optional<std::vector<uint8_t>> TurnUprightLosslessly(std::span<const uint8_t> jpeg,
                                                          int orientation);

// A picture ready for a film: the bytes to store and the size from its own frame header.
struct PlayerPicture {
  std::vector<uint8_t> bytes;
  int width = 0;
  int height = 0;
  bool rewritten = false;  // it came progressive and was rewritten as baseline
  bool converted = false;  // it came in a form the player cannot show and was re-encoded
};

// Checks a JPEG against what the player decodes and rewrites a progressive one. Throws
// std::runtime_error with a message that begins with `name` when the picture cannot be used.
PlayerPicture PreparePlayerPicture(std::vector<uint8_t> jpeg, const std::string& name);

}  // namespace lumafolio
