#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/Simd.h"
#include "core/effects/drawing/StageView.h"
#include "core/effects/transitions/TransitionRoutines.h"

namespace lumafolio::transitions {
namespace {

// A's grey negative, laid out like a picture (each pixel's grey in all three channels), so that
// the steps can treat it byte by byte alongside A and B. Kept for the picture it was made from.
struct GreyNegative {
  std::vector<std::uint8_t> bytes;
  const std::uint8_t* source = nullptr;
  int width = 0;
  int height = 0;
};

void BuildNegative(GreyNegative& negative, const StageView& view) {
  negative.bytes.assign(view.PictureBytes(), 0);
  negative.source = view.from;
  negative.width = view.width;
  negative.height = view.height;
  for (int row = 0; row < view.height; ++row) {
    const std::uint8_t* a = view.FromRow(row);
    std::uint8_t* g = negative.bytes.data() + static_cast<std::size_t>(row) * view.stride;
    for (int x = 0; x < view.width; ++x, a += 3, g += 3) {
      const int grey = 255 - (3 * a[0] + 4 * a[1] + 2 * a[2]) / 9;
      g[0] = g[1] = g[2] = static_cast<std::uint8_t>(grey);
    }
  }
}

bool NegativeFits(const GreyNegative& negative, const StageView& view) {
  return !negative.bytes.empty() && negative.source == view.from && negative.width == view.width &&
         negative.height == view.height;
}

// out = (weight × x + (1024 − weight) × y) >> 10 byte by byte, with weight from 0 to 1024;
// y is white (255) instead of a picture when kWhite is set.
template <bool kWhite>
void Blend1024(const std::uint8_t* x, const std::uint8_t* y, std::uint8_t* out, std::size_t count,
               int weight) {
  std::size_t i = 0;
#if LUMAFOLIO_SSE2
  // Pairs (x, y) are multiplied by (weight, 1024 − weight) and summed in 32 bits.
  const __m128i zero = _mm_setzero_si128();
  const __m128i white = _mm_set1_epi16(255);
  const __m128i weights = _mm_set1_epi32(static_cast<int>(
      static_cast<std::uint32_t>(weight) | (static_cast<std::uint32_t>(1024 - weight) << 16)));
  const auto half = [&](__m128i x16, __m128i y16) {
    const __m128i low = _mm_srli_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(x16, y16), weights), 10);
    const __m128i high = _mm_srli_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(x16, y16), weights), 10);
    return _mm_packs_epi32(low, high);
  };
  for (; i + 16 <= count; i += 16) {
    const __m128i xv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(x + i));
    __m128i low, high;
    if constexpr (kWhite) {
      low = half(_mm_unpacklo_epi8(xv, zero), white);
      high = half(_mm_unpackhi_epi8(xv, zero), white);
    } else {
      const __m128i yv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(y + i));
      low = half(_mm_unpacklo_epi8(xv, zero), _mm_unpacklo_epi8(yv, zero));
      high = half(_mm_unpackhi_epi8(xv, zero), _mm_unpackhi_epi8(yv, zero));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(low, high));
  }
#endif
  for (; i < count; ++i) {
    const int other = kWhite ? 255 : y[i];
    out[i] = static_cast<std::uint8_t>((weight * x[i] + (1024 - weight) * other) >> 10);
  }
}

// The brightening table: grey i becomes 4 i − e where that is above i, at most 255.
void Brighten(const std::uint8_t* grey, std::uint8_t* out, std::size_t count, int e) {
  std::size_t i = 0;
#if LUMAFOLIO_SSE2
  // The table is max(i, min(4 i − e, 255)), worked out directly: with e from -255 to 765,
  // 4 i − e stays within 16 bits.
  const __m128i zero = _mm_setzero_si128();
  const __m128i shift = _mm_set1_epi16(static_cast<short>(e));
  const __m128i white = _mm_set1_epi16(255);
  const auto half = [&](__m128i g) {
    const __m128i spread = _mm_sub_epi16(_mm_slli_epi16(g, 2), shift);
    return _mm_max_epi16(g, _mm_min_epi16(spread, white));
  };
  for (; i + 16 <= count; i += 16) {
    const __m128i g = _mm_loadu_si128(reinterpret_cast<const __m128i*>(grey + i));
    _mm_storeu_si128(
        reinterpret_cast<__m128i*>(out + i),
        _mm_packus_epi16(half(_mm_unpacklo_epi8(g, zero)), half(_mm_unpackhi_epi8(g, zero))));
  }
#endif
  if (i == count) return;
  std::array<std::uint8_t, 256> table;
  for (int g = 0; g < 256; ++g) {
    const int v = 4 * g - e;
    table[g] = static_cast<std::uint8_t>(v <= g ? g : (v > 254 ? 255 : v));
  }
  for (; i < count; ++i) out[i] = table[grey[i]];
}

}  // namespace

// A turns into its grey negative (to p = 0.4), the negative brightens to white (to 0.8), and B
// emerges from the white.
int Flash(int command, const EffectParams& params, EffectState& state) {
  GreyNegative& negative = state.Get<GreyNegative>();
  const StageView view(params);
  if (command == kEffectBegin) {
    negative = GreyNegative{};
    if (view.from != nullptr && view.width > 0 && view.height > 0) BuildNegative(negative, view);
    return 0;
  }
  if (command == kEffectEnd) {
    negative = GreyNegative{};
    return 0;
  }
  if (command != kEffectStep) return 0;

  const double p = Progress(params);
  const std::size_t count = view.PictureBytes();
  if (p > 0.8) {
    const int e = static_cast<int>((5 * p - 4) * 1024);
    Blend1024<true>(view.to, nullptr, view.out, count, e);
    return 0;
  }
  // Begin may have run without pictures, or not at all.
  if (!NegativeFits(negative, view)) BuildNegative(negative, view);
  const std::uint8_t* grey = negative.bytes.data();
  if (p <= 0.4) {
    const int e = static_cast<int>(p * 2560);
    Blend1024<false>(grey, view.from, view.out, count, e);
    return 0;
  }
  // Brightening: greys are spread out by 4 and shifted down by e, never below themselves and
  // at most white; e falls from 765 (no change) to -255 (all white). Like every integer of the
  // effects it is truncated toward zero, also where it is negative (-127.5 gives -127).
  const int e = static_cast<int>(765 - (2.5 * p - 1) * 1020);
  Brighten(grey, view.out, count, e);
  return 0;
}

}  // namespace lumafolio::transitions
