#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace lumafolio {

// An 8-bit RGB picture, rows top-down without padding: the form PNG files hold.
struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;  // width * height * 3 bytes
};

// Writes or reads a PNG file through libpng. Reading accepts any bit depth and colour type and
// converts it to 8-bit RGB (alpha dropped). Both throw std::runtime_error with the file's name.
// `compressionLevel` is zlib's, 0 (fastest) to 9 (smallest); -1 is libpng's default.
void WritePng(const std::string& path, const RgbImage& image, int compressionLevel = -1);
RgbImage ReadPng(const std::string& path);
// The same for a PNG file already read into memory; `name` only goes into messages.
RgbImage ReadPngBytes(std::span<const std::uint8_t> png, const std::string& name);

}  // namespace lumafolio
