// libFuzzer target for the JPEG decoder and the bitmap conversion: any input must decode or be
// refused without a read or write outside a buffer, a leak or undefined behaviour. Inputs
// whose first byte is odd go through the chunked file reader with a tiny chunk size, so that
// refills land everywhere (in stuffed bytes, in skipped segments, in restart markers). Span
// inputs are also decoded straight into the bitmap (an MCU row at a time), which must give the
// same outcome, reason and bytes as converting whole planes.
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "core/jpeg/JpegDib.h"

namespace {

// Small enough to keep each run quick, large enough for every layout.
constexpr lumafolio::JpegLimits kLimits{2048, 1 << 20};

// The bitmap from whole planes; empty (with the reason) when the picture is refused.
std::vector<uint8_t> Convert(lumafolio::JpegDecoder& decoder, std::string& reason) {
  if (!decoder.ParseMarkers()) {
    reason = decoder.FailureReason();
    return {};
  }
  if (!lumafolio::CanConvertToDib(decoder, &reason)) return {};
  std::vector<uint8_t> dib(lumafolio::DibLayoutFor(decoder.Width(), decoder.Height()).totalSize);
  if (!lumafolio::ConvertToDib(decoder, dib)) __builtin_trap();
  return dib;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string reason;
  if (size > 0 && (data[0] & 1) && size < (1 << 20)) {
    std::FILE* file = std::tmpfile();
    if (!file) return 0;
    std::fwrite(data, 1, size, file);
    std::rewind(file);
    const std::size_t chunk = 1 + (data[size / 2] % 61);
    lumafolio::JpegDecoder decoder(file, chunk, kLimits);
    Convert(decoder, reason);
    std::fclose(file);
    return 0;
  }
  const std::span<const uint8_t> bytes(data, size);
  lumafolio::JpegDecoder decoder(bytes, kLimits);
  const std::vector<uint8_t> whole = Convert(decoder, reason);
  std::vector<uint8_t> dib;
  std::string streamedReason;
  const bool ok = lumafolio::DecodeJpegToDib(bytes, dib, &streamedReason, kLimits);
  if (ok != !whole.empty()) __builtin_trap();
  if (ok ? dib != whole : streamedReason != reason) __builtin_trap();
  return 0;
}
