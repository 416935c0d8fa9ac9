#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace lumafolio {

// Rewrites a progressive JPEG as a baseline one without touching its coefficients (libjpeg-turbo's
// lossless transform), so the picture decodes to exactly the same pixels. Throws
// std::runtime_error with libjpeg-turbo's reason on failure.
std::vector<uint8_t> RewriteAsBaseline(std::span<const uint8_t> jpeg);

// A picture ready for a film: the bytes to store and the size from its own frame header.
struct PlayerPicture {
  std::vector<uint8_t> bytes;
  int width = 0;
  int height = 0;
  bool rewritten = false;  // it came progressive and was rewritten as baseline
};

// Checks a JPEG against what the player decodes and rewrites a progressive one. Throws
// std::runtime_error with a message that begins with `name` when the picture cannot be used.
PlayerPicture PreparePlayerPicture(std::vector<uint8_t> jpeg, const std::string& name);

}  // namespace lumafolio
