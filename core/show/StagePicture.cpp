#include "core/show/StagePicture.h"

#include <algorithm>
#include <cmath>

#include "core/Simd.h"

namespace lumafolio {
namespace {

// The taps of a separable resampling filter for one destination coordinate: `count` source
// indexes from `first`, their weights in 1/2^14 (adding up to exactly 2^14) at `weights`. The
// count is even (a zero weight pads an odd one) so that the loops below take taps in pairs.
struct Taps {
  int first = 0;
  int count = 0;
  std::size_t weights = 0;  // where the weights start in the filter's array
};

constexpr int kWeightBits = 14;
// The vertical pass keeps 7 bits below the byte in 16-bit sums (255 << 7 still fits a signed
// 16-bit lane, which the SIMD multiply-add takes); the horizontal pass drops them with the
// weights' 14.
constexpr int kLineFraction = 7;
constexpr int kDownShift = kWeightBits - kLineFraction;
constexpr int kAcrossShift = kWeightBits + kLineFraction;

// The filter from `sourceSize` to `destinationSize`: a triangle as wide as the scale when
// shrinking (each destination pixel averages all it covers), plain linear when enlarging.
class Filter {
 public:
  Filter(int sourceSize, int destinationSize)
      : sourceSize_(sourceSize),
        scale_(static_cast<double>(sourceSize) / destinationSize),
        support_(std::max(1.0, scale_)) {}

  // The taps of destination index `d`, their weights appended to `weights`.
  Taps At(int d, std::vector<std::int16_t>& weights) {
    const double centre = (d + 0.5) * scale_;
    const int first = std::max(0, static_cast<int>(std::floor(centre - support_)));
    const int last = std::min(sourceSize_ - 1, static_cast<int>(std::ceil(centre + support_)));
    raw_.clear();
    double total = 0;
    for (int s = first; s <= last; ++s) {
      const double w = std::max(0.0, 1.0 - std::abs((s + 0.5 - centre) / support_));
      raw_.push_back(w);
      total += w;
    }
    // Taps of no weight at either end cost time and add nothing.
    std::size_t from = 0;
    std::size_t to = raw_.size();
    while (to - from > 1 && raw_[from] == 0) ++from;
    while (to - from > 1 && raw_[to - 1] == 0) --to;
    Taps taps{first + static_cast<int>(from), static_cast<int>(to - from), weights.size()};
    int given = 0;
    std::size_t heaviest = from;
    for (std::size_t i = from; i < to; ++i) {
      const int w =
          total > 0 ? static_cast<int>(std::lround(raw_[i] / total * (1 << kWeightBits))) : 0;
      weights.push_back(static_cast<std::int16_t>(w));
      given += w;
      if (raw_[i] > raw_[heaviest]) heaviest = i;
    }
    // Rounding goes to the heaviest tap, which stays at most 2^14.
    weights[taps.weights + (heaviest - from)] = static_cast<std::int16_t>(
        weights[taps.weights + (heaviest - from)] + (1 << kWeightBits) - given);
    if (taps.count % 2 != 0) {
      weights.push_back(0);
      ++taps.count;
    }
    return taps;
  }

 private:
  int sourceSize_;
  double scale_;
  double support_;
  std::vector<double> raw_;
};

// One destination line's vertical pass: each of `count` bytes the sum of the bytes below it in
// `rows` (one per tap, in pairs; a padding tap repeats the row before it with no weight), kept
// with kLineFraction bits below the byte.
void FilterDown(const std::vector<const std::uint8_t*>& rows, const std::int16_t* weights,
                std::size_t count, std::int16_t* line) {
  constexpr std::int32_t kHalf = 1 << (kDownShift - 1);
  std::size_t i = 0;
#if LUMAFOLIO_SSE2
  const __m128i zero = _mm_setzero_si128();
  const __m128i half = _mm_set1_epi32(kHalf);
  for (; i + 16 <= count; i += 16) {
    __m128i sum0 = zero, sum1 = zero, sum2 = zero, sum3 = zero;
    for (std::size_t t = 0; t < rows.size(); t += 2) {
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[t] + i));
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[t + 1] + i));
      // Byte k of both rows side by side in 16-bit lanes, against the pair (w0, w1).
      const __m128i low = _mm_unpacklo_epi8(a, b);
      const __m128i high = _mm_unpackhi_epi8(a, b);
      const __m128i pair = _mm_set1_epi32(static_cast<std::int32_t>(
          static_cast<std::uint16_t>(weights[t]) |
          (static_cast<std::uint32_t>(static_cast<std::uint16_t>(weights[t + 1])) << 16)));
      sum0 = _mm_add_epi32(sum0, _mm_madd_epi16(_mm_unpacklo_epi8(low, zero), pair));
      sum1 = _mm_add_epi32(sum1, _mm_madd_epi16(_mm_unpackhi_epi8(low, zero), pair));
      sum2 = _mm_add_epi32(sum2, _mm_madd_epi16(_mm_unpacklo_epi8(high, zero), pair));
      sum3 = _mm_add_epi32(sum3, _mm_madd_epi16(_mm_unpackhi_epi8(high, zero), pair));
    }
    const auto finish = [&](__m128i sum) {
      return _mm_srai_epi32(_mm_add_epi32(sum, half), kDownShift);
    };
    _mm_storeu_si128(reinterpret_cast<__m128i*>(line + i),
                     _mm_packs_epi32(finish(sum0), finish(sum1)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(line + i + 8),
                     _mm_packs_epi32(finish(sum2), finish(sum3)));
  }
#endif
  for (; i < count; ++i) {
    std::int32_t sum = 0;
    for (std::size_t t = 0; t < rows.size(); ++t) sum += rows[t][i] * weights[t];
    line[i] = static_cast<std::int16_t>((sum + kHalf) >> kDownShift);
  }
}

// The horizontal pass of one line into `count` pixels of `target`: `line` holds the filtered
// source pixels (three 16-bit sums each) from `origin`, with room for one more pixel and a
// sample after its last tap.
void FilterAcross(const std::int16_t* line, int origin, const Taps* taps,
                  const std::int16_t* weights, int count, std::uint8_t* target) {
  constexpr std::int32_t kHalf = 1 << (kAcrossShift - 1);
#if LUMAFOLIO_SSE2
  const __m128i half = _mm_set1_epi32(kHalf);
  for (int x = 0; x < count; ++x) {
    const Taps& t = taps[x];
    const std::int16_t* p = line + static_cast<std::ptrdiff_t>(t.first - origin) * 3;
    const std::int16_t* w = weights + t.weights;
    __m128i sum = half;
    for (int k = 0; k < t.count; k += 2, p += 6) {
      // B, G, R of two neighbouring pixels side by side, against the pair (w0, w1).
      const __m128i a = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
      const __m128i b = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 3));
      const __m128i pair = _mm_set1_epi32(static_cast<std::int32_t>(
          static_cast<std::uint16_t>(w[k]) |
          (static_cast<std::uint32_t>(static_cast<std::uint16_t>(w[k + 1])) << 16)));
      sum = _mm_add_epi32(sum, _mm_madd_epi16(_mm_unpacklo_epi16(a, b), pair));
    }
    const __m128i words = _mm_packs_epi32(_mm_srai_epi32(sum, kAcrossShift), sum);
    const auto bgr = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(words, words)));
    target[x * 3] = static_cast<std::uint8_t>(bgr);
    target[x * 3 + 1] = static_cast<std::uint8_t>(bgr >> 8);
    target[x * 3 + 2] = static_cast<std::uint8_t>(bgr >> 16);
  }
#else
  for (int x = 0; x < count; ++x) {
    const Taps& t = taps[x];
    const std::int16_t* p = line + static_cast<std::ptrdiff_t>(t.first - origin) * 3;
    const std::int16_t* w = weights + t.weights;
    for (int c = 0; c < 3; ++c) {
      std::int32_t sum = kHalf;
      for (int k = 0; k < t.count; ++k) sum += p[k * 3 + c] * w[k];
      target[x * 3 + c] = static_cast<std::uint8_t>(std::clamp(sum >> kAcrossShift, 0, 255));
    }
  }
#endif
}

}  // namespace

StagePicture::StagePicture(int w, int h) : width(w), height(h) {
  bits.assign(Stride() * static_cast<std::size_t>(h), 0);
}

void DrawNearest(const PictureView& picture, const Rect& place, const PictureSpan& stage) {
  if (picture.width <= 0 || picture.height <= 0 || place.Width() <= 0 || place.Height() <= 0) {
    return;
  }
  const int top = std::max(place.top, 0);
  const int bottom = std::min(place.bottom, stage.height);
  const int left = std::max(place.left, 0);
  const int right = std::min(place.right, stage.width);
  if (place.Width() == picture.width && place.Height() == picture.height) {
    // At its own size every pixel is its own nearest sample: rows are copied as they are.
    for (int line = top; line < bottom; ++line) {
      std::copy_n(picture.Line(line - place.top) + static_cast<std::size_t>(left - place.left) * 3,
                  static_cast<std::size_t>(std::max(right - left, 0)) * 3,
                  stage.Line(line) + static_cast<std::size_t>(left) * 3);
    }
    return;
  }
  for (int line = top; line < bottom; ++line) {
    const auto sourceLine = static_cast<int>(static_cast<long long>(line - place.top) *
                                             picture.height / place.Height());
    const std::uint8_t* source = picture.Line(sourceLine);
    std::uint8_t* target = stage.Line(line);
    for (int x = left; x < right; ++x) {
      const auto sourceX =
          static_cast<int>(static_cast<long long>(x - place.left) * picture.width / place.Width());
      std::copy_n(source + static_cast<std::size_t>(sourceX) * 3, 3,
                  target + static_cast<std::size_t>(x) * 3);
    }
  }
}

void DrawFiltered(const PictureView& picture, const Rect& place, const PictureSpan& stage) {
  if (picture.width <= 0 || picture.height <= 0 || place.Width() <= 0 || place.Height() <= 0) {
    return;
  }
  const int top = std::max(place.top, 0);
  const int bottom = std::min(place.bottom, stage.height);
  const int left = std::max(place.left, 0);
  const int right = std::min(place.right, stage.width);
  if (top >= bottom || left >= right) return;
  // Down first, one destination line at a time, over the source columns the visible part
  // needs; then across that line. Nothing is held for more than one line, so a 24-megapixel
  // photo is fitted in memory of the order of its width.
  Filter across(picture.width, place.Width());
  std::vector<std::int16_t> acrossWeights;
  std::vector<Taps> columns;
  columns.reserve(static_cast<std::size_t>(right - left));
  int firstColumn = picture.width;
  int endColumn = 0;  // may be one past the picture, for a padding tap
  for (int x = left; x < right; ++x) {
    columns.push_back(across.At(x - place.left, acrossWeights));
    firstColumn = std::min(firstColumn, columns.back().first);
    endColumn = std::max(endColumn, columns.back().first + columns.back().count);
  }
  const auto bytes = static_cast<std::size_t>(std::min(endColumn, picture.width) - firstColumn) * 3;
  // Every tap's pixel, and the sample after the last, which a pixel load reads and drops.
  std::vector<std::int16_t> line(static_cast<std::size_t>(endColumn - firstColumn) * 3 + 1, 0);

  Filter down(picture.height, place.Height());
  std::vector<std::int16_t> downWeights;
  std::vector<const std::uint8_t*> rows;
  for (int y = top; y < bottom; ++y) {
    downWeights.clear();
    const Taps taps = down.At(y - place.top, downWeights);
    rows.clear();
    for (int k = 0; k < taps.count; ++k) {
      rows.push_back(picture.Line(std::min(taps.first + k, picture.height - 1)) +
                     static_cast<std::size_t>(firstColumn) * 3);
    }
    FilterDown(rows, downWeights.data(), bytes, line.data());
    FilterAcross(line.data(), firstColumn, columns.data(), acrossWeights.data(), right - left,
                 stage.Line(y) + static_cast<std::size_t>(left) * 3);
  }
}

}  // namespace lumafolio
