#include "jpeg/JpegDib.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace lumafolio {
namespace {

int FloorDiv(int numerator, int denominator) {
  int quotient = numerator / denominator;
  if (numerator % denominator != 0 && numerator < 0) --quotient;
  return quotient;
}

uint8_t ClampToByte(double value) {
  if (value > 255) value = 255;
  if (value < 0) value = 0;
  return static_cast<uint8_t>(value);
}

// The formulas' constants are decimal fractions, so each term is an exact rational and, Y
// being an integer, floor(Y + term + 0.5) = Y + floor(term + 0.5) in exact arithmetic. Doubles
// agree with that everywhere except where the exact sum is an integer (a tie): there the
// rounding of the double terms decides, for G even differently from one Y to the next. Those
// (Cb, Cr) pairs are marked and take the double formula itself.
struct ConversionTables {
  static constexpr int16_t kTie = INT16_MIN;
  static constexpr int kClampBias = 384;

  std::array<int16_t, 256> blue{};     // by Cb
  std::array<int16_t, 256> red{};      // by Cr
  std::array<int16_t, 65536> green{};  // by Cb * 256 + Cr; kTie where doubles decide
  std::array<uint8_t, 1024> clamp{};   // by value + kClampBias

  ConversionTables() {
    for (int c = 0; c < 256; ++c) {
      blue[c] = static_cast<int16_t>(FloorDiv(1772 * (c - 128) + 500, 1000));
      red[c] = static_cast<int16_t>(FloorDiv(1402 * (c - 128) + 500, 1000));
    }
    for (int cb = 0; cb < 256; ++cb) {
      for (int cr = 0; cr < 256; ++cr) {
        const int numerator = -34414 * (cb - 128) - 71414 * (cr - 128) + 50000;
        green[cb * 256 + cr] =
            numerator % 100000 == 0 ? kTie : static_cast<int16_t>(FloorDiv(numerator, 100000));
      }
    }
    for (int i = 0; i < 1024; ++i)
      clamp[i] = static_cast<uint8_t>(std::clamp(i - kClampBias, 0, 255));
  }
};

const ConversionTables& Tables() {
  static const ConversionTables tables;
  return tables;
}

void PutLe16(uint8_t* at, uint32_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
}
void PutLe32(uint8_t* at, uint32_t value) {
  PutLe16(at, value & 0xFFFF);
  PutLe16(at + 2, value >> 16);
}

void WriteHeaders(const DibLayout& layout, uint8_t* out) {
  std::memset(out, 0, kDibHeaderSize);
  PutLe16(out + 0, 0x4D42);  // "BM"
  PutLe32(out + 2, layout.totalSize);
  PutLe32(out + 10, kDibHeaderSize);
  PutLe32(out + 14, 40);
  PutLe32(out + 18, layout.width);
  PutLe32(out + 22, layout.height);  // positive: bottom-up rows
  PutLe16(out + 26, 1);
  PutLe16(out + 28, 24);
  PutLe32(out + 34, layout.totalSize - kDibHeaderSize);
}

#if defined(__SSE2__)
// Eight pixels from their blue, green and red bytes (the low 8 bytes of each register) to 24
// bytes at `out`. Each 8-byte store also writes the first two bytes of the pixel after the
// pair, which the next store overwrites: the caller keeps such spills inside the row.
inline void StoreBgr8(uint8_t* out, __m128i blue, __m128i green, __m128i red) {
  const __m128i bg = _mm_unpacklo_epi8(blue, green);
  const __m128i r0 = _mm_unpacklo_epi8(red, _mm_setzero_si128());
  const __m128i pixels[2] = {_mm_unpacklo_epi16(bg, r0), _mm_unpackhi_epi16(bg, r0)};
  for (int half = 0; half < 2; ++half) {
    uint64_t q[2];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(q), pixels[half]);
    for (int pair = 0; pair < 2; ++pair) {
      const uint64_t six = (q[pair] & 0xFFFFFF) | ((q[pair] >> 32) & 0xFFFFFF) << 24;
      std::memcpy(out + 12 * half + 6 * pair, &six, 8);
    }
  }
}

// The chroma offsets of pixels j to j + 7 from the per-chroma-sample offsets.
inline __m128i Offsets8(const int16_t* offsets, uint32_t j, int log2Ratio) {
  if (log2Ratio == 0) return _mm_loadu_si128(reinterpret_cast<const __m128i*>(offsets + j));
  if (log2Ratio == 1) {
    const __m128i four = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(offsets + (j >> 1)));
    return _mm_unpacklo_epi16(four, four);
  }
  int32_t two;
  std::memcpy(&two, offsets + (j >> 2), 4);
  const __m128i v = _mm_cvtsi32_si128(two);
  const __m128i doubled = _mm_unpacklo_epi16(v, v);
  return _mm_unpacklo_epi32(doubled, doubled);
}
#endif

void ConvertGrey(const JpegComponent& luma, const DibLayout& layout, uint8_t* bits) {
  for (uint32_t i = 0; i < layout.height; ++i) {
    const uint8_t* y = luma.plane.data() + i * luma.stride;
    uint8_t* out = bits + std::size_t(layout.height - 1 - i) * layout.rowSize;
    uint32_t j = 0;
#if defined(__SSE2__)
    for (; j + 8 < layout.width; j += 8) {
      const __m128i v = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(y + j));
      StoreBgr8(out + 3 * j, v, v, v);
    }
#endif
    for (; j < layout.width; ++j) out[3 * j] = out[3 * j + 1] = out[3 * j + 2] = y[j];
  }
}

void ConvertColour(const std::vector<JpegComponent>& components, const DibLayout& layout,
                   uint8_t* bits) {
  const ConversionTables& t = Tables();
  const JpegComponent& luma = components[0];
  const JpegComponent& cbPlane = components[1];
  const JpegComponent& crPlane = components[2];
  const int log2Ratio = luma.log2H;  // luma samples per chroma sample across: 1, 2 or 4
  const int shiftDown = luma.log2V;
  const uint8_t* clamp = t.clamp.data() + ConversionTables::kClampBias;
  // W is a multiple of 8, so every chroma sample of a row serves exactly 2^log2Ratio pixels.
  const std::size_t chromaCount = layout.width >> log2Ratio;
  // The offsets of one chroma row, shared by the luma rows it serves (padded for whole loads).
  std::vector<int16_t> blue(chromaCount + 8), green(chromaCount + 8), red(chromaCount + 8);
  std::vector<uint32_t> ties;  // chroma samples whose green comes from the double formula
  std::size_t chromaRow = SIZE_MAX;
  const uint8_t* cb = nullptr;
  const uint8_t* cr = nullptr;
  for (uint32_t i = 0; i < layout.height; ++i) {
    if ((i >> shiftDown) != chromaRow) {
      chromaRow = i >> shiftDown;
      cb = cbPlane.plane.data() + chromaRow * cbPlane.stride;
      cr = crPlane.plane.data() + chromaRow * crPlane.stride;
      ties.clear();
      for (std::size_t c = 0; c < chromaCount; ++c) {
        blue[c] = t.blue[cb[c]];
        red[c] = t.red[cr[c]];
        const int16_t g = t.green[cb[c] * 256 + cr[c]];
        if (g == ConversionTables::kTie) ties.push_back(static_cast<uint32_t>(c));
        green[c] = g == ConversionTables::kTie ? 0 : g;
      }
    }
    const uint8_t* y = luma.plane.data() + i * luma.stride;
    uint8_t* out = bits + std::size_t(layout.height - 1 - i) * layout.rowSize;
    uint32_t j = 0;
#if defined(__SSE2__)
    // The last eight pixels go the scalar way, so that no store spills past the row.
    for (; j + 8 < layout.width; j += 8) {
      const __m128i luma8 = _mm_unpacklo_epi8(
          _mm_loadl_epi64(reinterpret_cast<const __m128i*>(y + j)), _mm_setzero_si128());
      const __m128i b = _mm_adds_epi16(luma8, Offsets8(blue.data(), j, log2Ratio));
      const __m128i g = _mm_adds_epi16(luma8, Offsets8(green.data(), j, log2Ratio));
      const __m128i r = _mm_adds_epi16(luma8, Offsets8(red.data(), j, log2Ratio));
      StoreBgr8(out + 3 * j, _mm_packus_epi16(b, b), _mm_packus_epi16(g, g),
                _mm_packus_epi16(r, r));
    }
#endif
    for (; j < layout.width; ++j) {
      const std::size_t c = j >> log2Ratio;
      out[3 * j] = clamp[y[j] + blue[c]];
      out[3 * j + 1] = clamp[y[j] + green[c]];
      out[3 * j + 2] = clamp[y[j] + red[c]];
    }
    for (uint32_t c : ties) {
      for (uint32_t n = 0; n < (1u << log2Ratio); ++n) {
        const uint32_t x = (c << log2Ratio) + n;
        YccToBgrDouble(y[x], cb[c], cr[c], out + 3 * x);
      }
    }
  }
}

}  // namespace

void YccToBgrDouble(int y, int cb, int cr, uint8_t bgr[3]) {
  bgr[0] = ClampToByte(y + 1.772 * (cb - 128) + 0.5);
  bgr[1] = ClampToByte(y - 0.34414 * (cb - 128) - 0.71414 * (cr - 128) + 0.5);
  bgr[2] = ClampToByte(y + 1.402 * (cr - 128) + 0.5);
}

void YccToBgr(int y, int cb, int cr, uint8_t bgr[3]) {
  const ConversionTables& t = Tables();
  const int og = t.green[cb * 256 + cr];
  if (og == ConversionTables::kTie) return YccToBgrDouble(y, cb, cr, bgr);
  const uint8_t* clamp = t.clamp.data() + ConversionTables::kClampBias;
  bgr[0] = clamp[y + t.blue[cb]];
  bgr[1] = clamp[y + og];
  bgr[2] = clamp[y + t.red[cr]];
}

DibLayout DibLayoutFor(int frameWidth, int frameHeight) {
  DibLayout layout;
  layout.width = (static_cast<uint32_t>(frameWidth) + 7) & ~7u;
  layout.height = static_cast<uint32_t>(frameHeight);
  layout.rowSize = (3 * layout.width + 3) & ~3u;
  layout.totalSize = layout.rowSize * layout.height + kDibHeaderSize + kDibSpareSize;
  return layout;
}

bool CanConvertToDib(const JpegDecoder& decoder, std::string* reason) {
  const auto refuse = [reason](const char* why) {
    if (reason) *reason = why;
    return false;
  };
  const std::vector<JpegComponent>& components = decoder.Components();
  if (components.empty() || decoder.Width() <= 0 || decoder.Height() <= 0) {
    return refuse("no decoded picture");
  }
  if (components.size() == 1) return true;
  if (components.size() != 3) return refuse("component count other than 1 or 3");
  for (std::size_t c = 1; c < 3; ++c) {
    if (components[c].h != 1 || components[c].v != 1) {
      return refuse("chroma sampled more than once per MCU");
    }
  }
  return true;
}

bool ConvertToDib(const JpegDecoder& decoder, std::span<uint8_t> out) {
  if (!CanConvertToDib(decoder)) return false;
  const DibLayout layout = DibLayoutFor(decoder.Width(), decoder.Height());
  if (out.size() < layout.totalSize) return false;
  WriteHeaders(layout, out.data());
  uint8_t* bits = out.data() + kDibHeaderSize;
  if (decoder.Components().size() == 1) {
    ConvertGrey(decoder.Components()[0], layout, bits);
  } else {
    ConvertColour(decoder.Components(), layout, bits);
  }
  std::memset(bits + std::size_t(layout.rowSize) * layout.height, 0, kDibSpareSize);
  return true;
}

namespace {

bool Finish(JpegDecoder& decoder, std::vector<uint8_t>& dib, std::string* reason) {
  if (!decoder.ParseMarkers()) {
    if (reason) *reason = decoder.FailureReason();
    return false;
  }
  if (!CanConvertToDib(decoder, reason)) return false;
  try {
    dib.resize(DibLayoutFor(decoder.Width(), decoder.Height()).totalSize);
  } catch (const std::bad_alloc&) {
    if (reason) *reason = "not enough memory for the bitmap";
    return false;
  }
  return ConvertToDib(decoder, dib);
}

}  // namespace

bool DecodeJpegToDib(std::span<const uint8_t> jpeg, std::vector<uint8_t>& dib,
                     std::string* reason) {
  JpegDecoder decoder(jpeg);
  return Finish(decoder, dib, reason);
}

bool DecodeJpegToDib(std::FILE* file, std::vector<uint8_t>& dib, std::string* reason) {
  JpegDecoder decoder(file);
  return Finish(decoder, dib, reason);
}

}  // namespace lumafolio
