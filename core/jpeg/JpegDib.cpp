#include "core/jpeg/JpegDib.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <new>
#include <optional>

#include "core/Simd.h"

namespace lumafolio {
namespace {

uint8_t ClampToByte(double value) {
  if (value > 255) value = 255;
  if (value < 0) value = 0;
  return static_cast<uint8_t>(value);
}

// The formulas' constants are decimal fractions, so each term is an exact rational and, Y
// being an integer, floor(Y + term + 0.5) = Y + floor(term + 0.5) in exact arithmetic. Doubles
// agree with that everywhere except where the exact sum of the green terms is an integer (a
// tie): there the rounding of the double terms decides, differently from one Y to the next.
// Only (Cb, Cr) = (78, 178) and (178, 78) tie; those pixels take the double formula itself.
//
// floor(term + 0.5) is computed in fixed point, (c * K + R) >> S with c = Cb - 128 or
// Cr - 128. The constants were searched so that the result equals the exact floor for every
// one of the 256 (blue, red) or 65536 (green) inputs; no error analysis is needed, and the
// tests hold the conversion to the double formulas on all 2^24 triples. K and R of blue and
// red fit 16 bits, so that SSE2's pairwise multiply-add computes them on 32-bit lanes; green's
// K needs 22 bits of fraction and is split into a high part (times 128) and a low part.
constexpr int kBlueK = 29032, kBlueR = 8268, kBlueShift = 14;
constexpr int kRedK = 22970, kRedR = 8192, kRedShift = 14;
constexpr int kGreenCbHigh = -11277, kGreenCbLow = 28;  // -1443428 = -11277 * 128 + 28
constexpr int kGreenCrHigh = -23401, kGreenCrLow = 8;   // -2995320 = -23401 * 128 + 8
constexpr int kGreenCb = kGreenCbHigh * 128 + kGreenCbLow;
constexpr int kGreenCr = kGreenCrHigh * 128 + kGreenCrLow;
constexpr int kGreenR = 1 << 21, kGreenShift = 22;

inline int BlueOffset(int cb) { return ((cb - 128) * kBlueK + kBlueR) >> kBlueShift; }
inline int RedOffset(int cr) { return ((cr - 128) * kRedK + kRedR) >> kRedShift; }
inline int GreenOffset(int cb, int cr) {
  return ((cb - 128) * kGreenCb + (cr - 128) * kGreenCr + kGreenR) >> kGreenShift;
}
inline bool GreenTies(int cb, int cr) { return (cb == 78 && cr == 178) || (cb == 178 && cr == 78); }
inline uint8_t ClampSum(int y, int offset) {
  return static_cast<uint8_t>(std::clamp(y + offset, 0, 255));
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

#if LUMAFOLIO_SSE2
inline __m128i Pairs(int first, int second) {
  const auto a = static_cast<int16_t>(first);
  const auto b = static_cast<int16_t>(second);
  return _mm_setr_epi16(a, b, a, b, a, b, a, b);
}

// (c * k + r) >> shift on eight 16-bit lanes of c, through 32-bit products.
inline __m128i Linear8(__m128i c, int k, int r, int shift) {
  const __m128i kr = Pairs(k, r);
  const __m128i one = _mm_set1_epi16(1);
  const __m128i low = _mm_madd_epi16(_mm_unpacklo_epi16(c, one), kr);
  const __m128i high = _mm_madd_epi16(_mm_unpackhi_epi16(c, one), kr);
  return _mm_packs_epi32(_mm_srai_epi32(low, shift), _mm_srai_epi32(high, shift));
}

inline __m128i Green4(__m128i pairs) {
  const __m128i high = _mm_madd_epi16(pairs, Pairs(kGreenCbHigh, kGreenCrHigh));
  const __m128i low = _mm_madd_epi16(pairs, Pairs(kGreenCbLow, kGreenCrLow));
  const __m128i sum =
      _mm_add_epi32(_mm_add_epi32(_mm_slli_epi32(high, 7), low), _mm_set1_epi32(kGreenR));
  return _mm_srai_epi32(sum, kGreenShift);
}

// The offsets of eight chroma samples (Cb and Cr as 16-bit lanes) and the mask of the lanes
// whose green ties.
struct Offsets8 {
  __m128i blue, green, red;
  int ties;
};
inline Offsets8 ChromaOffsets8(__m128i cb, __m128i cr) {
  const __m128i bias = _mm_set1_epi16(128);
  const __m128i b = _mm_sub_epi16(cb, bias);
  const __m128i r = _mm_sub_epi16(cr, bias);
  Offsets8 o;
  o.blue = Linear8(b, kBlueK, kBlueR, kBlueShift);
  o.red = Linear8(r, kRedK, kRedR, kRedShift);
  o.green = _mm_packs_epi32(Green4(_mm_unpacklo_epi16(b, r)), Green4(_mm_unpackhi_epi16(b, r)));
  // Cb | Cr << 8 as an unsigned 16-bit key, compared bit for bit.
  const __m128i key = _mm_or_si128(cb, _mm_slli_epi16(cr, 8));
  const __m128i tie =
      _mm_or_si128(_mm_cmpeq_epi16(key, _mm_set1_epi16(static_cast<int16_t>(78 | 178 << 8))),
                   _mm_cmpeq_epi16(key, _mm_set1_epi16(static_cast<int16_t>(178 | 78 << 8))));
  o.ties = _mm_movemask_epi8(tie);
  return o;
}

// Four pixels held as 32-bit lanes (blue, green, red, 0) to their 12 bytes, in the low 12
// bytes (the rest zero).
inline __m128i Pack4(__m128i pixels) {
  // Within each 64-bit half: the first pixel stays in bytes 0..2, the second moves down a
  // byte into 3..5.
  const __m128i first = _mm_set_epi32(0, 0x00FFFFFF, 0, 0x00FFFFFF);
  const __m128i second = _mm_set_epi32(0x0000FFFF, static_cast<int>(0xFF000000u), 0x0000FFFF,
                                       static_cast<int>(0xFF000000u));
  const __m128i six =
      _mm_or_si128(_mm_and_si128(pixels, first), _mm_and_si128(_mm_srli_epi64(pixels, 8), second));
  // The upper half's six bytes go right after the lower half's.
  return _mm_or_si128(_mm_move_epi64(six), _mm_slli_si128(_mm_srli_si128(six, 8), 6));
}

// Sixteen pixels from their blue, green and red bytes to 48 bytes at `out`.
inline void StoreBgr16(uint8_t* out, __m128i blue, __m128i green, __m128i red) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i bgLow = _mm_unpacklo_epi8(blue, green);
  const __m128i bgHigh = _mm_unpackhi_epi8(blue, green);
  const __m128i rLow = _mm_unpacklo_epi8(red, zero);
  const __m128i rHigh = _mm_unpackhi_epi8(red, zero);
  const __m128i t0 = Pack4(_mm_unpacklo_epi16(bgLow, rLow));
  const __m128i t1 = Pack4(_mm_unpackhi_epi16(bgLow, rLow));
  const __m128i t2 = Pack4(_mm_unpacklo_epi16(bgHigh, rHigh));
  const __m128i t3 = Pack4(_mm_unpackhi_epi16(bgHigh, rHigh));
  auto* o = reinterpret_cast<__m128i*>(out);
  _mm_storeu_si128(o, _mm_or_si128(t0, _mm_slli_si128(t1, 12)));
  _mm_storeu_si128(o + 1, _mm_or_si128(_mm_srli_si128(t1, 4), _mm_slli_si128(t2, 8)));
  _mm_storeu_si128(o + 2, _mm_or_si128(_mm_srli_si128(t2, 8), _mm_slli_si128(t3, 4)));
}

// Eight pixels (the low 8 bytes of each register) to 24 bytes at `out`.
inline void StoreBgr8(uint8_t* out, __m128i blue, __m128i green, __m128i red) {
  const __m128i bg = _mm_unpacklo_epi8(blue, green);
  const __m128i r = _mm_unpacklo_epi8(red, _mm_setzero_si128());
  const __m128i t0 = Pack4(_mm_unpacklo_epi16(bg, r));
  const __m128i t1 = Pack4(_mm_unpackhi_epi16(bg, r));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_or_si128(t0, _mm_slli_si128(t1, 12)));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 16), _mm_srli_si128(t1, 4));
}

// Eight 16-bit offsets for pixels j to j + 7 from the per-chroma-sample offsets.
inline __m128i Spread8(const int16_t* offsets, uint32_t j, int log2Ratio) {
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

inline __m128i AddToLuma(__m128i luma16, __m128i offsets) {
  return _mm_adds_epi16(luma16, offsets);
}
#endif

// Writes picture rows into the DIB from planes that hold them, for the whole picture at once
// or an MCU row at a time.
class DibRowWriter {
 public:
  DibRowWriter(const std::vector<JpegComponent>& components, const DibLayout& layout, uint8_t* bits)
      : components_(components), layout_(layout), bits_(bits) {
    if (components.size() == 3) {
      // Pixels per chroma sample across and down (CanConvertToDib: 1, 2 or 4).
      log2Ratio_ = components[0].log2H - components[1].log2H;
      shiftDown_ = components[0].log2V - components[1].log2V;
      // W is a multiple of 8, so every chroma sample of a row serves exactly 2^log2Ratio pixels.
      chromaCount_ = layout.width >> log2Ratio_;
      // Padded for whole loads and for the eight-sample steps of the offsets.
      const std::size_t padded = chromaCount_ + 16;
      blue_.assign(padded, 0);
      green_.assign(padded, 0);
      red_.assign(padded, 0);
    }
  }

  // Picture rows first to end - 1, whose samples are in the planes from picture row
  // `planeTop` on (planeTop is a multiple of the chroma row height).
  void Rows(uint32_t first, uint32_t end, uint32_t planeTop) {
    if (components_.size() == 1) {
      for (uint32_t i = first; i < end; ++i) Grey(i, i - planeTop);
      return;
    }
    for (uint32_t i = first; i < end; ++i) {
      const uint32_t chromaRow = (i - planeTop) >> shiftDown_;
      if (i == first || chromaRow != chromaRow_) {
        chromaRow_ = chromaRow;
        PrepareChromaRow(chromaRow);
      }
      Colour(i, i - planeTop);
    }
  }

 private:
  uint8_t* OutRow(uint32_t i) const {
    return bits_ + std::size_t(layout_.height - 1 - i) * layout_.rowSize;
  }

  void Grey(uint32_t i, uint32_t planeRow) const {
    const JpegComponent& luma = components_[0];
    const uint8_t* y = luma.plane.data() + planeRow * luma.stride;
    uint8_t* out = OutRow(i);
    uint32_t j = 0;
#if LUMAFOLIO_SSE2
    for (; j + 16 <= layout_.width; j += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(y + j));
      StoreBgr16(out + 3 * j, v, v, v);
    }
#endif
    for (; j < layout_.width; ++j) out[3 * j] = out[3 * j + 1] = out[3 * j + 2] = y[j];
  }

  void PrepareChromaRow(uint32_t chromaRow) {
    const JpegComponent& cbPlane = components_[1];
    const JpegComponent& crPlane = components_[2];
    cb_ = cbPlane.plane.data() + chromaRow * cbPlane.stride;
    cr_ = crPlane.plane.data() + chromaRow * crPlane.stride;
    ties_.clear();
    std::size_t c = 0;
#if LUMAFOLIO_SSE2
    // The chroma planes' rows are whole MCUs wide, multiples of 8 samples at least
    // chromaCount_ long, so the last step's loads stay inside the row.
    const __m128i zero = _mm_setzero_si128();
    for (; c < chromaCount_; c += 8) {
      const __m128i cb =
          _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(cb_ + c)), zero);
      const __m128i cr =
          _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(cr_ + c)), zero);
      const Offsets8 o = ChromaOffsets8(cb, cr);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(blue_.data() + c), o.blue);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(green_.data() + c), o.green);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(red_.data() + c), o.red);
      if (o.ties) {
        for (std::size_t lane = 0; lane < 8 && c + lane < chromaCount_; ++lane) {
          if (o.ties & (1 << (2 * lane))) ties_.push_back(static_cast<uint32_t>(c + lane));
        }
      }
    }
#endif
    for (; c < chromaCount_; ++c) {
      blue_[c] = static_cast<int16_t>(BlueOffset(cb_[c]));
      red_[c] = static_cast<int16_t>(RedOffset(cr_[c]));
      green_[c] = static_cast<int16_t>(GreenOffset(cb_[c], cr_[c]));
      if (GreenTies(cb_[c], cr_[c])) ties_.push_back(static_cast<uint32_t>(c));
    }
  }

  void Colour(uint32_t i, uint32_t planeRow) const {
    const JpegComponent& luma = components_[0];
    const uint8_t* y = luma.plane.data() + planeRow * luma.stride;
    uint8_t* out = OutRow(i);
    const int log2Ratio = log2Ratio_;
    uint32_t j = 0;
#if LUMAFOLIO_SSE2
    const __m128i zero = _mm_setzero_si128();
    for (; j + 16 <= layout_.width; j += 16) {
      const __m128i luma16 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(y + j));
      const __m128i low = _mm_unpacklo_epi8(luma16, zero);
      const __m128i high = _mm_unpackhi_epi8(luma16, zero);
      const __m128i b = _mm_packus_epi16(AddToLuma(low, Spread8(blue_.data(), j, log2Ratio)),
                                         AddToLuma(high, Spread8(blue_.data(), j + 8, log2Ratio)));
      const __m128i g = _mm_packus_epi16(AddToLuma(low, Spread8(green_.data(), j, log2Ratio)),
                                         AddToLuma(high, Spread8(green_.data(), j + 8, log2Ratio)));
      const __m128i r = _mm_packus_epi16(AddToLuma(low, Spread8(red_.data(), j, log2Ratio)),
                                         AddToLuma(high, Spread8(red_.data(), j + 8, log2Ratio)));
      StoreBgr16(out + 3 * j, b, g, r);
    }
    if (j < layout_.width) {  // W is a multiple of 8: eight pixels are left
      const __m128i low =
          _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(y + j)), zero);
      const __m128i b = AddToLuma(low, Spread8(blue_.data(), j, log2Ratio));
      const __m128i g = AddToLuma(low, Spread8(green_.data(), j, log2Ratio));
      const __m128i r = AddToLuma(low, Spread8(red_.data(), j, log2Ratio));
      StoreBgr8(out + 3 * j, _mm_packus_epi16(b, b), _mm_packus_epi16(g, g),
                _mm_packus_epi16(r, r));
      j += 8;
    }
#endif
    for (; j < layout_.width; ++j) {
      const std::size_t c = j >> log2Ratio;
      out[3 * j] = ClampSum(y[j], blue_[c]);
      out[3 * j + 1] = ClampSum(y[j], green_[c]);
      out[3 * j + 2] = ClampSum(y[j], red_[c]);
    }
    for (uint32_t c : ties_) {
      for (uint32_t n = 0; n < (1u << log2Ratio); ++n) {
        const uint32_t x = (c << log2Ratio) + n;
        YccToBgrDouble(y[x], cb_[c], cr_[c], out + 3 * x);
      }
    }
  }

  const std::vector<JpegComponent>& components_;
  DibLayout layout_;
  uint8_t* bits_;
  int log2Ratio_ = 0;
  int shiftDown_ = 0;
  std::size_t chromaCount_ = 0;
  // The offsets of one chroma row, shared by the luma rows it serves.
  std::vector<int16_t> blue_, green_, red_;
  std::vector<uint32_t> ties_;  // chroma samples whose green comes from the double formula
  uint32_t chromaRow_ = 0;
  const uint8_t* cb_ = nullptr;
  const uint8_t* cr_ = nullptr;
};

}  // namespace

void YccToBgrDouble(int y, int cb, int cr, uint8_t bgr[3]) {
  bgr[0] = ClampToByte(y + 1.772 * (cb - 128) + 0.5);
  bgr[1] = ClampToByte(y - 0.34414 * (cb - 128) - 0.71414 * (cr - 128) + 0.5);
  bgr[2] = ClampToByte(y + 1.402 * (cr - 128) + 0.5);
}

void YccToBgr(int y, int cb, int cr, uint8_t bgr[3]) {
  if (GreenTies(cb, cr)) return YccToBgrDouble(y, cb, cr, bgr);
  bgr[0] = ClampSum(y, BlueOffset(cb));
  bgr[1] = ClampSum(y, GreenOffset(cb, cr));
  bgr[2] = ClampSum(y, RedOffset(cr));
}

void YccRowToBgr(std::span<const uint8_t> y, std::span<const uint8_t> cb,
                 std::span<const uint8_t> cr, std::span<uint8_t> bgr) {
  // One row of three planes, sampled alike, through the writer the conversion uses.
  const std::size_t count =
      std::min({y.size(), cb.size(), cr.size(), bgr.size() / 3}) & ~std::size_t{7};
  std::vector<JpegComponent> components(3);
  const std::span<const uint8_t> samples[3] = {y, cb, cr};
  for (int c = 0; c < 3; ++c) {
    components[c].plane.assign(samples[c].begin(), samples[c].begin() + count);
    components[c].stride = count;
  }
  DibLayout layout;
  layout.width = static_cast<uint32_t>(count);
  layout.height = 1;
  layout.rowSize = static_cast<uint32_t>(3 * count);
  DibRowWriter(components, layout, bgr.data()).Rows(0, 1, 0);
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
  // Each chroma sample serves a block of 1, 2 or 4 pixels across and down. The factors are 1, 2
  // or 4, so Cb and Cr sampled alike at no finer a rate than luma always come to that: all
  // three at 2x2 is 4:4:4 in MCUs of 16x16, luma at 2x2 over chroma at 1x2 is 4:2:2.
  const JpegComponent& luma = components[0];
  const JpegComponent& cb = components[1];
  const JpegComponent& cr = components[2];
  if (cb.h != cr.h || cb.v != cr.v) return refuse("Cb and Cr sampled differently");
  if (cb.h > luma.h || cb.v > luma.v) return refuse("chroma sampled more finely than luma");
  return true;
}

bool ConvertToDib(const JpegDecoder& decoder, std::span<uint8_t> out) {
  if (!CanConvertToDib(decoder)) return false;
  const DibLayout layout = DibLayoutFor(decoder.Width(), decoder.Height());
  if (out.size() < layout.totalSize) return false;
  WriteHeaders(layout, out.data());
  uint8_t* bits = out.data() + kDibHeaderSize;
  DibRowWriter(decoder.Components(), layout, bits).Rows(0, layout.height, 0);
  std::memset(bits + std::size_t(layout.rowSize) * layout.height, 0, kDibSpareSize);
  return true;
}

namespace {

// Converts each MCU row as soon as it is decoded, while its samples are still in the cache: the
// decoder then needs no whole planes, which for a large picture are as big as the bitmap.
class DibSink : public JpegRowSink {
 public:
  explicit DibSink(const DibAllocator& allocate) : allocate_(allocate) {}

  Take Start(const JpegDecoder& decoder) override {
    // Refused after decoding, so that a damaged stream says so before its layout does.
    if (!CanConvertToDib(decoder)) return Take::kWholePlanes;
    layout_ = DibLayoutFor(decoder.Width(), decoder.Height());
    dib_ = allocate_(layout_.totalSize);
    if (!dib_) return Take::kNothing;
    writer_.emplace(decoder.Components(), layout_, dib_ + kDibHeaderSize);
    rowsPerMcu_ = 8u << decoder.Components()[0].log2V;
    return Take::kRows;
  }

  void Row(const JpegDecoder&, int row) override {
    const uint32_t first = static_cast<uint32_t>(row) * rowsPerMcu_;
    writer_->Rows(first, std::min(first + rowsPerMcu_, layout_.height), first);
  }

  void Finish() {
    WriteHeaders(layout_, dib_);
    std::memset(dib_ + kDibHeaderSize + std::size_t(layout_.rowSize) * layout_.height, 0,
                kDibSpareSize);
  }

 private:
  const DibAllocator& allocate_;
  uint8_t* dib_ = nullptr;
  DibLayout layout_;
  std::optional<DibRowWriter> writer_;
  uint32_t rowsPerMcu_ = 8;
};

}  // namespace

bool DecodeToDib(JpegDecoder& decoder, const DibAllocator& allocate, std::string* reason) {
  DibSink sink(allocate);
  decoder.SetRowSink(&sink);
  if (!decoder.ParseMarkers()) {
    if (reason) *reason = decoder.FailureReason();
    return false;
  }
  if (!decoder.Streaming()) {  // whole planes only for a picture the conversion refuses
    CanConvertToDib(decoder, reason);
    return false;
  }
  sink.Finish();
  return true;
}

bool DecodeToDib(JpegDecoder& decoder, std::vector<uint8_t>& dib, std::string* reason) {
  return DecodeToDib(
      decoder,
      [&dib](uint32_t size) -> uint8_t* {
        try {
          dib.resize(size);
        } catch (const std::bad_alloc&) {
          return nullptr;
        }
        return dib.data();
      },
      reason);
}

bool DecodeJpegToDib(std::span<const uint8_t> jpeg, std::vector<uint8_t>& dib, std::string* reason,
                     const JpegLimits& limits) {
  JpegDecoder decoder(jpeg, limits);
  return DecodeToDib(decoder, dib, reason);
}

bool DecodeJpegToDib(std::FILE* file, std::vector<uint8_t>& dib, std::string* reason,
                     const JpegLimits& limits) {
  JpegDecoder decoder(file, JpegDecoder::kDefaultChunkSize, limits);
  return DecodeToDib(decoder, dib, reason);
}

}  // namespace lumafolio
