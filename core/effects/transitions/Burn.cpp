#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "core/Simd.h"
#include "core/effects/EffectRandom.h"
#include "core/effects/drawing/StageView.h"
#include "core/effects/transitions/TransitionRoutines.h"

namespace lumafolio::transitions {
namespace {

// A random landscape over the picture: the fire reaches low ground first. Each pixel's height
// is stored three times, once per colour byte, so that a step can compare heights and pick
// bytes in lockstep. Heights stay far inside 16 bits: a level of the grid displaces by at most
// 4 + 0.3 × its side, a few hundred on the stage.
struct HeightMap {
  std::vector<std::int16_t> heights;  // 3 × width per row, rows from the bottom
  int lowest = 0;
  int highest = 0;
  int width = 0;
  int height = 0;
};

// Turns draws of the generator into jitter in [-t / 2, t - 1 - t / 2]: draw % t - t / 2. The map
// takes about a million of them at every begin, on the way from the key press to the first
// frame, so the modulo is done by multiplication: with m = 2^32 / t + 1, (r * m) >> 32 is the
// exact quotient for every 15-bit r and every t below 2^17.
class Jitter {
 public:
  explicit Jitter(int t)
      : t_(static_cast<std::uint32_t>(t)), half_(t / 2), magic_((std::uint64_t{1} << 32) / t + 1) {}
  int operator()(int draw) const {
    const auto r = static_cast<std::uint32_t>(draw);
    if (t_ >= (1u << 17)) return static_cast<int>(r % t_) - half_;  // maps too large to matter
    const auto quotient = static_cast<std::uint32_t>((r * magic_) >> 32);
    return static_cast<int>(r - quotient * t_) - half_;
  }

 private:
  std::uint32_t t_;
  int half_;
  std::uint64_t magic_;
};

std::int16_t ToInt16(int value) {
  return static_cast<std::int16_t>(std::clamp<int>(value, std::numeric_limits<std::int16_t>::min(),
                                                   std::numeric_limits<std::int16_t>::max()));
}

// Midpoint displacement on a square grid whose side is a power of two, indices wrapping around
// so that every square has four corners. Per square (corner at x, y) the centre and the
// midpoints of the two edges leaving that corner are set; the squares beside it set the others.
// The picture keeps the grid's corner of its own size.
void BuildMap(HeightMap& map, int width, int height) {
  int side = 1;
  while (side < std::max(width, height)) side <<= 1;
  const int mask = side - 1;
  std::vector<std::int32_t> grid(static_cast<std::size_t>(side) * side, 0);
  const auto line = [&](int y) { return grid.data() + static_cast<std::size_t>(y & mask) * side; };
  std::vector<int> draws;
  for (int e = side; e >= 2; e /= 2) {
    const int half = e / 2;
    const Jitter jitter(static_cast<int>(8 + 0.6 * e));
    // Three draws per square, centre first, taken a row of squares at a time.
    draws.resize(static_cast<std::size_t>(side / e) * 3);
    for (int y = 0; y < side; y += e) {
      EffectRandFill(draws.data(), draws.size());
      const int* draw = draws.data();
      std::int32_t* bottom = line(y);
      std::int32_t* middle = line(y + half);
      const std::int32_t* top = line(y + e);
      for (int x = 0; x < side; x += e, draw += 3) {
        const int right = (x + e) & mask;
        const std::int32_t corner = bottom[x];
        const std::int32_t toRight = bottom[right];
        const std::int32_t above = top[x];
        const std::int32_t across = top[right];
        middle[x + half] = (corner + toRight + above + across) / 4 + jitter(draw[0]);
        bottom[x + half] = (corner + toRight) / 2 + jitter(draw[1]);
        middle[x] = (corner + above) / 2 + jitter(draw[2]);
      }
    }
  }

  map.width = width;
  map.height = height;
  map.heights.resize(static_cast<std::size_t>(width) * 3 * height);
  map.lowest = std::numeric_limits<int>::max();
  map.highest = std::numeric_limits<int>::min();
  std::int16_t* out = map.heights.data();
  for (int y = 0; y < height; ++y) {
    const std::int32_t* row = line(y);
    for (int x = 0; x < width; ++x, out += 3) {
      out[0] = out[1] = out[2] = ToInt16(row[x]);
      map.lowest = std::min(map.lowest, int{out[0]});
      map.highest = std::max(map.highest, int{out[0]});
    }
  }
}

bool MapFits(const HeightMap& map, const EffectParams& params) {
  return !map.heights.empty() && map.width == params.width && map.height == params.height;
}

// The height limits of one step: below `burnt` B shows, from `unburnt` on A, in between the
// edge, yellow in [yellowFrom, yellowTo) and orange elsewhere.
struct FireFront {
  int burnt;
  int yellowFrom;
  int yellowTo;
  int unburnt;
  std::uint8_t orange[3];
  std::uint8_t yellow[3];
};

// One row, pixel by pixel, from column `first` on.
void BurnPixels(const FireFront& front, const std::int16_t* heights, const std::uint8_t* from,
                const std::uint8_t* to, std::uint8_t* out, int first, int width) {
  for (int x = first; x < width; ++x) {
    const int h = heights[3 * x];
    const std::uint8_t* source;
    if (h >= front.unburnt) {
      source = from + 3 * x;
    } else if (h < front.burnt) {
      source = to + 3 * x;
    } else if (h >= front.yellowFrom && h < front.yellowTo) {
      source = front.yellow;
    } else {
      source = front.orange;
    }
    std::uint8_t* o = out + 3 * x;
    o[0] = source[0];
    o[1] = source[1];
    o[2] = source[2];
  }
}

#if LUMAFOLIO_SSE2
// 16 pixels at a time, as three vectors of 16 bytes.
class VectorFire {
 public:
  explicit VectorFire(const FireFront& front)
      : belowBurnt_(_mm_set1_epi16(ToInt16(front.burnt))),
        aboveUnburnt_(_mm_set1_epi16(ToInt16(front.unburnt - 1))),
        aboveYellowFrom_(_mm_set1_epi16(ToInt16(front.yellowFrom - 1))),
        belowYellowTo_(_mm_set1_epi16(ToInt16(front.yellowTo))) {
    // The colours repeat every three bytes, so 48 bytes hold a whole number of pixels.
    alignas(16) std::uint8_t orange[48];
    alignas(16) std::uint8_t yellow[48];
    for (int i = 0; i < 48; ++i) {
      orange[i] = front.orange[i % 3];
      yellow[i] = front.yellow[i % 3];
    }
    for (int v = 0; v < 3; ++v) {
      orange_[v] = _mm_load_si128(reinterpret_cast<const __m128i*>(orange + 16 * v));
      yellow_[v] = _mm_load_si128(reinterpret_cast<const __m128i*>(yellow + 16 * v));
    }
  }

  // Returns the number of whole pixels drawn; the rest of the row is left to BurnPixels.
  int Row(const std::int16_t* heights, const std::uint8_t* from, const std::uint8_t* to,
          std::uint8_t* out, int width) const {
    int x = 0;
    for (; x + 16 <= width; x += 16) {
      for (int v = 0; v < 3; ++v) {
        const std::size_t i = static_cast<std::size_t>(x) * 3 + 16 * v;
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(heights + i));
        const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(heights + i + 8));
        const __m128i isA =
            Bytes(_mm_cmpgt_epi16(low, aboveUnburnt_), _mm_cmpgt_epi16(high, aboveUnburnt_));
        const __m128i isB =
            Bytes(_mm_cmplt_epi16(low, belowBurnt_), _mm_cmplt_epi16(high, belowBurnt_));
        const __m128i isYellow = Bytes(_mm_and_si128(_mm_cmpgt_epi16(low, aboveYellowFrom_),
                                                     _mm_cmplt_epi16(low, belowYellowTo_)),
                                       _mm_and_si128(_mm_cmpgt_epi16(high, aboveYellowFrom_),
                                                     _mm_cmplt_epi16(high, belowYellowTo_)));
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(to + i));
        const __m128i edge = Select(isYellow, yellow_[v], orange_[v]);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), Select(isA, a, Select(isB, b, edge)));
      }
    }
    return x;
  }

 private:
  // Two vectors of 16-bit masks as one of 8-bit masks.
  static __m128i Bytes(__m128i low, __m128i high) { return _mm_packs_epi16(low, high); }
  static __m128i Select(__m128i mask, __m128i yes, __m128i no) {
    return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
  }

  __m128i belowBurnt_;
  __m128i aboveUnburnt_;
  __m128i aboveYellowFrom_;
  __m128i belowYellowTo_;
  __m128i orange_[3];
  __m128i yellow_[3];
};
#endif

}  // namespace

// B burns its way through A: a fire front climbs the height map, with an orange and yellow
// edge, from the lowest ground to the highest.
int Burn(int command, const EffectParams& params, EffectState& state) {
  HeightMap& map = state.Get<HeightMap>();
  if (command == kEffectBegin) {
    EffectSrandFromClock();
    map = HeightMap{};
    if (params.width > 0 && params.height > 0) BuildMap(map, params.width, params.height);
    return 0;
  }
  if (command == kEffectEnd) {
    map = HeightMap{};
    return 0;
  }
  if (command != kEffectStep) return 0;

  // Begin may have run without a picture size, or not at all.
  if (!MapFits(map, params)) BuildMap(map, params.width, params.height);
  const StageView view(params);
  const double p = Progress(params);
  const int a = map.lowest + static_cast<int>(p * (map.highest - map.lowest + 30));
  // Heights below a - 30 have burnt, from a up they are untouched; between them the edge is
  // orange in its lowest and highest ten and yellow in the middle.
  const FireFront front{a - 30,        a - 20,
                        a - 10,        a,
                        {0, 112, 255}, {static_cast<std::uint8_t>(p < 0.5 ? 40 : 64), 255, 255}};
#if LUMAFOLIO_SSE2
  const VectorFire fire(front);
#endif
  for (int row = 0; row < view.height; ++row) {
    const std::int16_t* heights =
        map.heights.data() + static_cast<std::size_t>(row) * 3 * view.width;
    const std::uint8_t* from = view.FromRow(row);
    const std::uint8_t* to = view.ToRow(row);
    std::uint8_t* out = view.OutRow(row);
    int done = 0;
#if LUMAFOLIO_SSE2
    done = fire.Row(heights, from, to, out, view.width);
#endif
    BurnPixels(front, heights, from, to, out, done, view.width);
  }
  return 0;
}

}  // namespace lumafolio::transitions
