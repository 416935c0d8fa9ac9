#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lumafolio::test {

// Synthetic pictures compressed by libjpeg-turbo, and libjpeg-turbo's own decode of them: the
// independent reference the decoder is measured against. Native builds only.
enum class Pattern { kGradient, kNoise, kEdges, kText, kPhotoLike };
const char* PatternName(Pattern pattern);

struct CorpusPicture {
  int width = 64;
  int height = 64;
  Pattern pattern = Pattern::kGradient;
  int lumaH = 2;  // 1,1: 4:4:4; 2,1: 4:2:2; 2,2: 4:2:0
  int lumaV = 2;
  bool grey = false;
  int quality = 90;
  int restartInterval = 0;      // in MCUs
  bool optimizeCoding = false;  // picture-specific Huffman tables instead of the standard ones
  unsigned seed = 1;

  std::string Name() const;
};

// Interleaved RGB (or grey) samples of the pattern.
std::vector<uint8_t> RenderPattern(const CorpusPicture& picture);
// A baseline JPEG through libjpeg's compressor.
std::vector<uint8_t> CompressPicture(const CorpusPicture& picture);

// libjpeg-turbo's decode to bottom-up BGR rows of exactly 3 * width bytes. `accurate`: the
// islow integer IDCT and box upsampling (the reference); otherwise its fastest settings (fast
// IDCT, fast upsampling), as a speed reference.
struct ReferenceImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> bgr;
};
bool DecodeWithTurbo(const std::vector<uint8_t>& jpeg, bool accurate, ReferenceImage& out);

// libjpeg-turbo's accurate decode to component planes (before upsampling and colour
// conversion), each `widths[c]` x `heights[c]` samples.
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
