// libFuzzer target for the JPEG decoder and the bitmap conversion: any input must decode or be
// refused without a read or write outside a buffer, a leak or undefined behaviour. Inputs
// whose first byte is odd go through the chunked file reader with a tiny chunk size, so that
// refills land everywhere (in stuffed bytes, in skipped segments, in restart markers).
#include <cstdint>
#include <cstdio>
#include <span>
#include <vector>

#include "jpeg/JpegDib.h"

namespace {

// Small enough to keep each run quick, large enough for every layout.
constexpr lumafolio::JpegLimits kLimits{2048, 1 << 20};

void Convert(lumafolio::JpegDecoder& decoder) {
  if (!decoder.ParseMarkers() || !lumafolio::CanConvertToDib(decoder)) return;
  std::vector<uint8_t> dib(lumafolio::DibLayoutFor(decoder.Width(), decoder.Height()).totalSize);
  lumafolio::ConvertToDib(decoder, dib);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0 && (data[0] & 1) && size < (1 << 20)) {
    std::FILE* file = std::tmpfile();
    if (!file) return 0;
    std::fwrite(data, 1, size, file);
    std::rewind(file);
    const std::size_t chunk = 1 + (data[size / 2] % 61);
    lumafolio::JpegDecoder decoder(file, chunk, kLimits);
    Convert(decoder);
    std::fclose(file);
    return 0;
  }
  lumafolio::JpegDecoder decoder(std::span<const uint8_t>(data, size), kLimits);
  Convert(decoder);
  return 0;
}
