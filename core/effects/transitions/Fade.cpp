#include <cstddef>
#include <cstdint>

#include "core/Simd.h"
#include "core/effects/drawing/StageView.h"
#include "core/effects/transitions/TransitionRoutines.h"

namespace lumafolio::transitions {
namespace {

// One byte of the cross-fade: a + (weight × (b − a)) >> 8 with an arithmetic (flooring) shift.
// Since 256 × a is a multiple of 256 this equals (a × (256 − weight) + b × weight) >> 8, whose
// terms are never negative and never exceed 65280: the form the vector loop computes in 16 bits.
inline std::uint8_t Blend(std::uint8_t a, std::uint8_t b, int weight) {
  return static_cast<std::uint8_t>(a + ((weight * (b - a)) >> 8));
}

// Blends `count` bytes. Padding bytes at the row ends are blended along with the pixels: they
// lie inside all three buffers and nobody looks at them.
void BlendBytes(const std::uint8_t* from, const std::uint8_t* to, std::uint8_t* out,
                std::size_t count, int weight) {
  std::size_t i = 0;
#if LUMAFOLIO_SSE2
  const __m128i zero = _mm_setzero_si128();
  const __m128i toWeight = _mm_set1_epi16(static_cast<short>(weight));
  const __m128i fromWeight = _mm_set1_epi16(static_cast<short>(256 - weight));
  for (; i + 16 <= count; i += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(to + i));
    const __m128i low =
        _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(a, zero), fromWeight),
                                     _mm_mullo_epi16(_mm_unpacklo_epi8(b, zero), toWeight)),
                       8);
    const __m128i high =
        _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(a, zero), fromWeight),
                                     _mm_mullo_epi16(_mm_unpackhi_epi8(b, zero), toWeight)),
                       8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(low, high));
  }
#endif
  for (; i < count; ++i) out[i] = Blend(from[i], to[i], weight);
}

}  // namespace

// Cross-fade: every byte moves from A to B in 256 steps of weight.
int Fade(int command, const EffectParams& params, EffectState& /*state*/) {
  if (command != kEffectStep) return 0;
  const StageView view(params);
  const int weight =
      static_cast<int>(static_cast<std::int64_t>(params.step) * 256 / params.lastStep);
  BlendBytes(view.from, view.to, view.out, view.PictureBytes(), weight);
  return 0;
}

}  // namespace lumafolio::transitions
