#pragma once

#include <cstdint>
#include <vector>

namespace lumafolio::test {

// JPEGs made at test time with libjpeg, so that every kind the tool must accept or refuse is
// produced by a real encoder rather than kept as binary fixtures.
struct JpegSpec {
  int width = 48;
  int height = 32;
  int components = 3;  // 1 greyscale, 3 colour, 4 CMYK
  int lumaH = 2;       // sampling factors of the first component ...
  int lumaV = 2;
  int chromaH = 1;  // ... and of the others
  int chromaV = 1;
  bool progressive = false;
  bool arithmetic = false;
  bool rgb = false;  // colour stored as RGB instead of YCbCr
  int restartInterval = 0;
};

std::vector<uint8_t> MakeJpeg(const JpegSpec& spec);

// Decoded pixels (RGB, or grey for one component) through libturbojpeg.
struct Decoded {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;
};
Decoded DecodeJpeg(const std::vector<uint8_t>& jpeg, bool grey = false);

// Offset of the first marker 0xFF `code` at a segment boundary, or -1.
long FindMarkerOffset(const std::vector<uint8_t>& jpeg, uint8_t code);

}  // namespace lumafolio::test
