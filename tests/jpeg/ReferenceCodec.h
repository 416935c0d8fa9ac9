#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace lumafolio::test {

// libjpeg and libjpeg-turbo as the independent reference: every JPEG a test, benchmark or fuzz
// seed needs is made by a real encoder at run time rather than kept as a binary fixture, and
// libjpeg-turbo's decode of it is what our decoder is measured against. Native builds only.

// What the pixels show. The scenes (gradient to photo) are colour or grey pictures with the
// features a decoder gets wrong; the channel ramps give every channel of any count its own
// detail, so that a wrong decode shows in the pixels whatever the colour space.
enum class Pattern { kGradient, kNoise, kEdges, kText, kPhotoLike, kChannelRamps };
const char* PatternName(Pattern pattern);

struct CorpusPicture {
  int width = 48;
  int height = 32;
  Pattern pattern = Pattern::kChannelRamps;
  int components = 3;  // 1 greyscale, 3 colour (YCbCr, or RGB with `rgb`), 4 CMYK
  int lumaH = 2;       // sampling factors of the first component; with 1x1 chroma:
  int lumaV = 2;       // 1,1 is 4:4:4, 2,1 is 4:2:2, 2,2 is 4:2:0
  int chromaH = 1;     // sampling factors of the other components
  int chromaV = 1;
  int quality = 85;
  int restartInterval = 0;      // in MCUs
  bool optimizeCoding = false;  // picture-specific Huffman tables instead of the standard ones
  bool progressive = false;     // libjpeg's simple progression script
  bool arithmetic = false;      // arithmetic coding instead of Huffman
  bool rgb = false;             // colour stored as RGB instead of YCbCr
  unsigned seed = 1;            // for the patterns with random parts

  // Tells the picture apart in test traces and seed file names.
  std::string Name() const;
};

// Interleaved samples of the pattern, `components` per pixel (RGB for colour). The scenes come
// in one or three components only: a CMYK picture takes the channel ramps.
std::vector<uint8_t> RenderPattern(const CorpusPicture& picture);
// The picture through libjpeg's compressor (islow DCT). A picture libjpeg cannot encode ends the
// program with libjpeg's message.
std::vector<uint8_t> CompressPicture(const CorpusPicture& picture);

// Offset of the first marker 0xFF `code` at a segment boundary before the scan, or -1.
long FindMarkerOffset(const std::vector<uint8_t>& jpeg, int code);

// libjpeg-turbo's decode to bottom-up BGR rows of exactly 3 * width bytes. `accurate`: the
// islow integer IDCT and box upsampling (the reference); otherwise its fastest settings (fast
// IDCT, fast upsampling), as a speed reference.
struct ReferenceImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> bgr;
};
bool DecodeWithTurbo(const std::vector<uint8_t>& jpeg, bool accurate, ReferenceImage& out);
// The accurate decode through libjpeg's own calls, which read every sampling layout libjpeg
// does (TurboJPEG's want one of their named subsamplings) and stop after the last row, so
// that whatever follows the picture is not read. Warnings about corrupt data are not shown.
bool DecodeWithLibjpeg(const std::vector<uint8_t>& jpeg, ReferenceImage& out);

// The quantised coefficients of a picture as libjpeg reads them, in zig-zag order as a stream
// carries them, so that tests can write the same picture again in a layout or a coding libjpeg
// would not write.
struct Coefficients {
  struct Component {
    int h = 1, v = 1;
    std::array<uint16_t, 64> quant{};
    int widthInBlocks = 0, heightInBlocks = 0;
    std::vector<std::array<int, 64>> blocks;  // row by row
  };
  int width = 0, height = 0;
  std::vector<Component> components;
};
bool ReadCoefficients(const std::vector<uint8_t>& jpeg, Coefficients& out);

// libjpeg-turbo's accurate decode to component planes (before upsampling and colour
// conversion), each `widths[c]` x `heights[c]` samples: every pixel any decoder makes of the
// picture follows from them.
struct ReferencePlanes {
  std::vector<std::vector<uint8_t>> planes;
  std::vector<int> widths, heights;
};
bool DecodePlanesWithTurbo(const std::vector<uint8_t>& jpeg, ReferencePlanes& out);

// Differences between our DIB's pixel rows and a reference image of the frame's size.
struct Comparison {
  int maxDifference = 0;
  double psnr = 0;  // dB; infinity when identical
  long long samplesOff = 0;
};
Comparison CompareWithDib(const ReferenceImage& reference, const std::vector<uint8_t>& dib);

}  // namespace lumafolio::test
