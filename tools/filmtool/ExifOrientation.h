#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace lumafolio {

// What filmtool reads from a JPEG's Exif block (APP1 "Exif\0\0"): the orientation a camera
// records instead of turning the pixels, and when the picture was taken. Every offset in the
// block comes from the file, so each one is checked against the block's end before it is read;
// only IFD0 and the Exif IFD it points to are read, so no chain of offsets can loop.
struct ExifInfo {
  int orientation = 1;           // 1..8 as TIFF numbers them; 1 also when absent or out of range
  std::string dateTimeOriginal;  // "YYYY:MM:DD HH:MM:SS" when present and well formed, else empty
  // Where the orientation's 16-bit value sits in the JPEG, so that it can be set to 1.
  size_t orientationOffset = 0;
  bool bigEndian = false;
  bool hasOrientation = false;
};

ExifInfo ReadExif(std::span<const uint8_t> jpeg);

// Sets the orientation a JPEG's Exif block records to 1 (upright), for a picture whose pixels
// have been turned, so that no viewer turns it a second time. Returns whether it changed a tag.
bool ClearExifOrientation(std::vector<uint8_t>& jpeg);

}  // namespace lumafolio
