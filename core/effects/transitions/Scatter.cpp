#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/Simd.h"
#include "core/effects/EffectRandom.h"
#include "core/effects/drawing/StageView.h"
#include "core/effects/drawing/TilePieces.h"
#include "core/effects/transitions/TransitionRoutines.h"

namespace lumafolio::transitions {
namespace {

// The 2 x 2 pieces, row by row from the bottom left; a picture with an odd side has one-pixel
// pieces along its right or top edge. A stage larger than the classic one has larger pieces,
// grown with it (3 x 3 on full HD), so that the scatter keeps its grain. Per piece: where it flies
// to at the height of the scatter (in pixels, scaled by u / 1024 on the way) and the step, in
// 256ths of the way, from which it shows the new picture. Every step reads all of them next to the
// pixels, so they are kept in separate compact arrays: offsets stay below the picture's side, which
// fits 16 bits on any stage up to 32767 pixels (larger pictures keep 32-bit offsets).
struct ScatterState {
  int width = 0;
  int height = 0;
  int size = 2;  // the pieces' side
  std::vector<std::uint8_t> thresholds;
  std::vector<std::int16_t> dx16;
  std::vector<std::int16_t> dy16;
  std::vector<std::int32_t> dx32;
  std::vector<std::int32_t> dy32;
  // Per step, for one row of pieces: where each piece lands in the output (see PlacesOfRow).
  std::vector<std::int32_t> places;
};

// Places of pieces that are not drawn by the plain 2 x 2 copy.
constexpr std::int32_t kOffPicture = -1;  // wholly outside: nothing to draw
constexpr std::int32_t kClipped = -2;     // cut by an edge, or a one-pixel piece of an odd side

constexpr int kNarrowLimit = 32767;

bool Narrow(int width, int height) { return width <= kNarrowLimit && height <= kNarrowLimit; }

// A piece's offset along one axis of `size` pixels, for the piece starting at `position`. A
// random pivot near the middle is drawn; the piece flies toward it and past it, at most as far
// as the pivot lies from the opposite edge, so it never leaves the picture entirely. Ranges that
// are empty on a picture one pixel wide give 0 instead of a modulo by zero.
std::int32_t AxisOffset(int position, int size) {
  const int half = size / 2;
  const int pivot = RandBelow(half) - size / 4;
  const int fromCentre = position - half;
  if (fromCentre > pivot) return -RandBelow(pivot + half);
  if (fromCentre < pivot) return RandBelow(half - pivot);
  return 0;
}

// The pieces' side: 2 on the classic stage and smaller pictures, else 2 grown with the stage and
// lowered until it divides both sides (when only 1 would, 2 with the odd edges as above).
int PieceSize(int width, int height) { return std::max(2, TileSizeFor(2, width, height)); }

void Build(ScatterState& pieces, int width, int height) {
  pieces.width = width;
  pieces.height = height;
  pieces.size = PieceSize(width, height);
  const int size = pieces.size;
  const int columns = (width + size - 1) / size;
  const int rows = (height + size - 1) / size;
  const std::size_t count = static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows);
  const bool narrow = Narrow(width, height);
  pieces.thresholds.resize(count);
  pieces.dx16.resize(narrow ? count : 0);
  pieces.dy16.resize(narrow ? count : 0);
  pieces.dx32.resize(narrow ? 0 : count);
  pieces.dy32.resize(narrow ? 0 : count);
  EffectSrandFromClock();
  std::size_t i = 0;
  for (int pieceRow = 0; pieceRow < rows; ++pieceRow) {
    for (int pieceColumn = 0; pieceColumn < columns; ++pieceColumn, ++i) {
      pieces.thresholds[i] = static_cast<std::uint8_t>(EffectRand() % 255 + 1);
      const std::int32_t dx = AxisOffset(pieceColumn * size, width);
      const std::int32_t dy = AxisOffset(pieceRow * size, height);
      if (narrow) {
        pieces.dx16[i] = static_cast<std::int16_t>(dx);
        pieces.dy16[i] = static_cast<std::int16_t>(dy);
      } else {
        pieces.dx32[i] = dx;
        pieces.dy32[i] = dy;
      }
    }
  }
}

void Free(ScatterState& pieces) { pieces = ScatterState{}; }

// How far the pieces are out, 0 at both ends and about 808 / 1024 of their offsets in the
// middle: the curve g of p lingers around the middle, so the pieces hang apart for a while.
int Spread(double p) {
  double g = p;
  if (p > 0.3 && p < 0.5) {
    g = p - 2.4 * (p - 0.3) * (p - 0.3);
  } else if (p >= 0.5 && p < 0.7) {
    g = 1.0 - ((1.0 - p) - 2.4 * (0.7 - p) * (0.7 - p));
  }
  return static_cast<int>(std::floor((0.5 - std::fabs(g - 0.5)) * 2000.0));
}

// The byte offset in the output of the bottom left pixel of each piece of a row, or kOffPicture
// or kClipped, for pieces [first, last) of the row of pieces at line y.
template <typename Offset>
void PlacesOfRow(const StageView& view, int u, int y, const Offset* dx, const Offset* dy, int first,
                 int last, std::int32_t* places) {
  const int width = view.width;
  const int height = view.height;
  const bool wholeRow = height - y >= 2;
  for (int c = first; c < last; ++c) {
    const int toX = c * 2 + ((u * dx[c]) >> 10);
    const int toY = y + ((u * dy[c]) >> 10);
    if (toX >= width || toX <= -2 || toY >= height || toY <= -2) {
      places[c] = kOffPicture;
    } else if (wholeRow && c * 2 + 2 <= width && toX >= 0 && toX + 2 <= width && toY >= 0 &&
               toY + 2 <= height) {
      places[c] = static_cast<std::int32_t>(static_cast<std::size_t>(toY) * view.stride +
                                            static_cast<std::size_t>(toX) * 3);
    } else {
      places[c] = kClipped;
    }
  }
}

#if LUMAFOLIO_SSE2
// PlacesOfRow for the whole pieces of a full row, eight at a time, on pictures small enough
// for 16-bit lanes (SseFits). Returns how many pieces it did, a multiple of eight.
int PlacesOfRowSse(const StageView& view, int u, int y, const std::int16_t* dx,
                   const std::int16_t* dy, std::int32_t* places) {
  const int count = view.width / 2 / 8 * 8;
  const __m128i spread = _mm_set1_epi16(static_cast<std::int16_t>(u));
  const __m128i line = _mm_set1_epi16(static_cast<std::int16_t>(y));
  const __m128i minusOne = _mm_set1_epi16(-1);
  const __m128i lastX = _mm_set1_epi16(static_cast<std::int16_t>(view.width - 2));
  const __m128i lastY = _mm_set1_epi16(static_cast<std::int16_t>(view.height - 2));
  const __m128i edgeX = _mm_set1_epi16(static_cast<std::int16_t>(view.width - 1));
  const __m128i edgeY = _mm_set1_epi16(static_cast<std::int16_t>(view.height - 1));
  // (toX, toY) pairs times (3, stride) summed by pmaddwd give the byte offset.
  const __m128i weights = _mm_set1_epi32(static_cast<int>((view.stride << 16) | 3u));
  const __m128i offPicture = _mm_set1_epi32(kOffPicture);
  const __m128i clipped = _mm_set1_epi32(kClipped);
  __m128i x = _mm_setr_epi16(0, 2, 4, 6, 8, 10, 12, 14);
  const __m128i eightPieces = _mm_set1_epi16(16);
  // (u * d) >> 10 of eight 16-bit offsets: the 32-bit products shifted, then packed back (the
  // results are below the picture's side).
  const auto scaled = [&](__m128i d) {
    const __m128i low = _mm_mullo_epi16(d, spread);
    const __m128i high = _mm_mulhi_epi16(d, spread);
    const __m128i first = _mm_srai_epi32(_mm_unpacklo_epi16(low, high), 10);
    const __m128i second = _mm_srai_epi32(_mm_unpackhi_epi16(low, high), 10);
    return _mm_packs_epi32(first, second);
  };
  for (int c = 0; c < count; c += 8, x = _mm_add_epi16(x, eightPieces)) {
    const __m128i toX =
        _mm_add_epi16(x, scaled(_mm_loadu_si128(reinterpret_cast<const __m128i*>(dx + c))));
    const __m128i toY =
        _mm_add_epi16(line, scaled(_mm_loadu_si128(reinterpret_cast<const __m128i*>(dy + c))));
    // Inside: 0 <= toX <= W - 2 and 0 <= toY <= H - 2. Off: toX < -1, toX > W - 1, likewise y.
    const __m128i outside =
        _mm_or_si128(_mm_or_si128(_mm_cmpgt_epi16(toX, lastX), _mm_cmpgt_epi16(toY, lastY)),
                     _mm_or_si128(_mm_srai_epi16(toX, 15), _mm_srai_epi16(toY, 15)));
    const __m128i off =
        _mm_or_si128(_mm_or_si128(_mm_cmpgt_epi16(toX, edgeX), _mm_cmpgt_epi16(toY, edgeY)),
                     _mm_or_si128(_mm_cmplt_epi16(toX, minusOne), _mm_cmplt_epi16(toY, minusOne)));
    for (int half = 0; half < 2; ++half) {
      const __m128i pairs = half == 0 ? _mm_unpacklo_epi16(toX, toY) : _mm_unpackhi_epi16(toX, toY);
      const __m128i place = _mm_madd_epi16(pairs, weights);
      // Each 16-bit mask widened to 32 bits by pairing it with itself.
      const __m128i isOutside =
          half == 0 ? _mm_unpacklo_epi16(outside, outside) : _mm_unpackhi_epi16(outside, outside);
      const __m128i isOff = half == 0 ? _mm_unpacklo_epi16(off, off) : _mm_unpackhi_epi16(off, off);
      const __m128i notDrawn =
          _mm_or_si128(_mm_and_si128(isOff, offPicture), _mm_andnot_si128(isOff, clipped));
      const __m128i result =
          _mm_or_si128(_mm_andnot_si128(isOutside, place), _mm_and_si128(isOutside, notDrawn));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(places + c + 4 * half), result);
    }
  }
  return count;
}
#endif

// Whether PlacesOfRowSse may be used: every toX and toY (within twice the side) and the stride
// fit 16-bit signed lanes, and every offset fits 16 bits.
[[maybe_unused]] bool SseFits(int width, int height) { return width <= 10000 && height <= 16000; }

template <typename Offset>
void DrawPieces(ScatterState& pieces, const StageView& view, int u, int shown, const Offset* allDx,
                const Offset* allDy) {
  const std::size_t stride = view.stride;
  const std::uint8_t* const from = view.from;
  std::uint8_t* const out = view.out;
  const int columns = (view.width + 1) / 2;
  const int rows = (view.height + 1) / 2;
  pieces.places.resize(static_cast<std::size_t>(columns));
  std::int32_t* const places = pieces.places.data();
  // The piece shows B or A as its threshold says, chosen without a branch (random from piece
  // to piece, a branch would be mispredicted half the time): from plus (to - from) or plus 0.
  const std::uintptr_t toMinusFrom =
      reinterpret_cast<std::uintptr_t>(view.to) - reinterpret_cast<std::uintptr_t>(from);
  for (int pieceRow = 0; pieceRow < rows; ++pieceRow) {
    const int y = pieceRow * 2;
    const std::size_t first = static_cast<std::size_t>(pieceRow) * columns;
    const std::uint8_t* thresholds = pieces.thresholds.data() + first;
    const Offset* dx = allDx + first;
    const Offset* dy = allDy + first;
    int done = 0;
#if LUMAFOLIO_SSE2
    if constexpr (sizeof(Offset) == 2) {
      if (view.height - y >= 2 && SseFits(view.width, view.height)) {
        done = PlacesOfRowSse(view, u, y, dx, dy, places);
      }
    }
#endif
    PlacesOfRow(view, u, y, dx, dy, done, columns, places);
    const std::uint8_t* const sourceRow = from + static_cast<std::size_t>(y) * stride;
    for (int c = 0; c < columns; ++c) {
      const std::int32_t place = places[c];
      if (place >= 0) {
        const std::uintptr_t toOrFrom =
            toMinusFrom & (std::uintptr_t{0} - static_cast<std::uintptr_t>(shown >= thresholds[c]));
        const std::uint8_t* source = reinterpret_cast<const std::uint8_t*>(
            reinterpret_cast<std::uintptr_t>(sourceRow + static_cast<std::size_t>(c) * 6) +
            toOrFrom);
        std::uint8_t* target = out + place;
        // Both lines read before either is written.
        std::uint32_t low0, low1;
        std::uint16_t high0, high1;
        std::memcpy(&low0, source, 4);
        std::memcpy(&high0, source + 4, 2);
        std::memcpy(&low1, source + stride, 4);
        std::memcpy(&high1, source + stride + 4, 2);
        std::memcpy(target, &low0, 4);
        std::memcpy(target + 4, &high0, 2);
        std::memcpy(target + stride, &low1, 4);
        std::memcpy(target + stride + 4, &high1, 2);
      } else if (place == kClipped) {
        const int x = c * 2;
        CopyBlockClipped(view, shown >= thresholds[c] ? view.to : from, x, y,
                         x + ((u * dx[c]) >> 10), y + ((u * dy[c]) >> 10),
                         view.width - x < 2 ? 1 : 2, view.height - y < 2 ? 1 : 2);
      }
    }
  }
}

// Pieces larger than 2 x 2, which divide both sides: a stage larger than the classic one has
// few enough of them that each is simply copied where it lands, cut by the edges.
template <int kSize, typename Offset>
void DrawLargePieces(ScatterState& pieces, const StageView& view, int u, int shown,
                     const Offset* dx, const Offset* dy) {
  const int size = kSize > 0 ? kSize : pieces.size;
  const int columns = view.width / size;
  const int rows = view.height / size;
  const std::uint8_t* const thresholds = pieces.thresholds.data();
  std::uint8_t* const out = view.out;
  pieces.places.resize(static_cast<std::size_t>(columns));
  std::int32_t* const places = pieces.places.data();
  // B or A by the threshold without a branch, as for the small pieces.
  const std::uintptr_t toMinusFrom =
      reinterpret_cast<std::uintptr_t>(view.to) - reinterpret_cast<std::uintptr_t>(view.from);
  for (int pieceRow = 0; pieceRow < rows; ++pieceRow) {
    const int y = pieceRow * size;
    const std::size_t first =
        static_cast<std::size_t>(pieceRow) * static_cast<std::size_t>(columns);
    // First where every piece of the row lands, then the copies, as for the small pieces.
    for (int c = 0; c < columns; ++c) {
      const int toX = c * size + ((u * dx[first + c]) >> 10);
      const int toY = y + ((u * dy[first + c]) >> 10);
      places[c] = toX >= 0 && toY >= 0 && toX + size <= view.width && toY + size <= view.height
                      ? static_cast<std::int32_t>(static_cast<std::size_t>(toY) * view.stride +
                                                  static_cast<std::size_t>(toX) * 3)
                      : kClipped;
    }
    const std::uint8_t* const sourceRow = view.FromRow(y);
    for (int c = 0; c < columns; ++c) {
      const std::size_t i = first + static_cast<std::size_t>(c);
      const int x = c * size;
      if (places[c] >= 0) {
        const std::uintptr_t toOrFrom =
            toMinusFrom & (std::uintptr_t{0} - static_cast<std::uintptr_t>(shown >= thresholds[i]));
        const std::uint8_t* source = reinterpret_cast<const std::uint8_t*>(
            reinterpret_cast<std::uintptr_t>(sourceRow + static_cast<std::size_t>(x) * 3) +
            toOrFrom);
        CopySquare<kSize>(out + places[c], source, view.stride, size);
      } else {
        CopyBlockClipped(view, shown >= thresholds[i] ? view.to : view.from, x, y,
                         x + ((u * dx[i]) >> 10), y + ((u * dy[i]) >> 10), size, size);
      }
    }
  }
}

void Draw(ScatterState& pieces, const EffectParams& params) {
  const StageView view(params);
  const double p = Progress(params);
  const int u = Spread(p);
  const int shown = static_cast<int>(std::floor(p * 256.0));
  if (u == 0 && shown == 0) {  // every piece in place, none turned yet
    view.CopyFrom();
    return;
  }
  if (u == 0 && shown >= 255) {
    view.CopyTo();
    return;
  }
  view.ClearToBlack();
  if (pieces.size > 2) {
    WithSquareSize(pieces.size, [&]<int kSize>() {
      if (Narrow(view.width, view.height)) {
        DrawLargePieces<kSize>(pieces, view, u, shown, pieces.dx16.data(), pieces.dy16.data());
      } else {
        DrawLargePieces<kSize>(pieces, view, u, shown, pieces.dx32.data(), pieces.dy32.data());
      }
    });
    return;
  }
  if (Narrow(view.width, view.height)) {
    DrawPieces(pieces, view, u, shown, pieces.dx16.data(), pieces.dy16.data());
  } else {
    DrawPieces(pieces, view, u, shown, pieces.dx32.data(), pieces.dy32.data());
  }
}

}  // namespace

// The old picture falls apart into 2 x 2 pieces (larger on a larger stage) that fly out over
// black and come back together as the new one, each piece turning over at its own random moment.
int Scatter(int command, const EffectParams& params, EffectState& state) {
  ScatterState& pieces = state.Get<ScatterState>();
  if (command == kEffectBegin) {
    // Begin may come without a picture size; the first step then builds the pieces.
    if (params.width > 0 && params.height > 0) {
      Build(pieces, params.width, params.height);
    } else {
      Free(pieces);
    }
    return 0;
  }
  if (command == kEffectEnd) {
    Free(pieces);
    return 0;
  }
  if (pieces.thresholds.empty() || pieces.width != params.width || pieces.height != params.height) {
    Build(pieces, params.width, params.height);
  }
  Draw(pieces, params);
  return 0;
}

}  // namespace lumafolio::transitions
