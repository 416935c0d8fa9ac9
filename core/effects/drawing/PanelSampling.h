#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/Simd.h"

// Drawing a picture as a flat panel seen at an angle (doors, swinging panels, flipping cards,
// a falling flap). A panel is cut either into screen lines, each showing one source line
// stretched over a span, or into screen columns, each showing one source column stretched over
// a run of lines. The shapes are worked out per line or per column with floating point; the
// pixels are then filled with 16.16 fixed-point steps, with no trigonometry per pixel.
namespace lumafolio::transitions::panels {

// Pixels [first, end) along one axis.
struct PixelRange {
  int first;
  int end;
};

// The pixels of an axis of `size` pixels whose centres lie in [from, to). Deciding on centres
// keeps slanted edges straight and lets two shapes that share an edge meet without a gap.
inline PixelRange CentresWithin(double from, double to, int size) {
  const double a = std::clamp(std::ceil(from - 0.5), 0.0, static_cast<double>(size));
  const double b = std::clamp(std::ceil(to - 0.5), 0.0, static_cast<double>(size));
  const int first = static_cast<int>(a);
  return PixelRange{first, std::max(first, static_cast<int>(b))};
}

// Where pixel `first` and each following pixel fall in a source of `sourceSize` pixels spread
// evenly over [from, to): position (i + 0.5 - from) * sourceSize / (to - from) in 16.16 fixed
// point, taken at pixel centres so that an unscaled panel samples every source pixel once.
struct Sampling {
  std::int64_t start;
  std::int64_t step;
};

inline Sampling SampleEvenly(double from, double to, int first, int sourceSize) {
  const double scale = (to > from) ? sourceSize / (to - from) : 0.0;
  const double start = std::max(0.0, (first + 0.5 - from) * scale);
  return Sampling{static_cast<std::int64_t>(start * 65536.0),
                  static_cast<std::int64_t>(scale * 65536.0)};
}

// The source pixel for the i-th pixel of a sampling, never past the source's last pixel.
inline int SourceIndex(const Sampling& sampling, int i, int sourceSize) {
  const std::int64_t index = (sampling.start + sampling.step * i) >> 16;
  return static_cast<int>(std::min<std::int64_t>(index, sourceSize - 1));
}

// Fills `count` pixels at `out` from the source row `source` (of `sourceWidth` pixels) spread
// by `sampling`.
inline void StretchRow(std::uint8_t* __restrict out, const std::uint8_t* __restrict source,
                       int count, const Sampling& sampling, int sourceWidth) {
  const std::int64_t last = static_cast<std::int64_t>(sourceWidth - 1) << 16;
  if (sampling.step == 65536 && (sampling.start >> 16) + count <= sourceWidth) {
    // Unscaled: one block copy.
    std::memcpy(out, source + (sampling.start >> 16) * 3, static_cast<std::size_t>(count) * 3);
    return;
  }
  // Pixels before the source's last one are moved four bytes at a time (the fourth byte spills
  // into the next output pixel, written right after); the last output pixel and those showing
  // the source's last pixel, which may end the buffer, three bytes at a time.
  std::int64_t fast = count - 1;
  if (sampling.step > 0) {
    fast = std::min(fast, (last - sampling.start + sampling.step - 1) / sampling.step);
  } else if (sampling.start >= last) {
    fast = 0;
  }
  std::int64_t position = sampling.start;
  int i = 0;
  for (; i < fast; ++i) {
    std::uint32_t pixel;
    std::memcpy(&pixel, source + (position >> 16) * 3, 4);
    std::memcpy(out + i * 3, &pixel, 4);
    position += sampling.step;
  }
  for (; i < count; ++i) {
    std::memcpy(out + i * 3, source + (std::min(position, last) >> 16) * 3, 3);
    position += sampling.step;
  }
}

// Fills a row of `width` pixels outside the runs (sorted, not overlapping) with `background`,
// a row of another picture, or with black when it is null: whatever a panel leaves uncovered.
inline void FillAround(std::uint8_t* out, const std::uint8_t* background, int width,
                       const PixelRange* runs, int count) {
  int cursor = 0;
  const auto fill = [out, background](int from, int to) {
    if (from >= to) return;
    const auto bytes = static_cast<std::size_t>(to - from) * 3;
    if (background != nullptr) {
      std::memcpy(out + from * 3, background + from * 3, bytes);
    } else {
      std::memset(out + from * 3, 0, bytes);
    }
  };
  for (int i = 0; i < count; ++i) {
    if (runs[i].first >= runs[i].end) continue;
    fill(cursor, runs[i].first);
    cursor = std::max(cursor, runs[i].end);
  }
  fill(cursor, width);
}

// A panel cut into screen columns, drawn line by line so that the output is written in memory
// order. Each column covers a run of lines [first, end) counted from the top and shows one
// source column whose lines are spread evenly over that run. The panels drawn with it are
// convex, so on every line the columns that cover it form one run: the line's ends are trimmed
// once and the pixels between them are copied without further tests.
class ColumnPanel {
 public:
  // Makes room for a picture of `width` by `height` with rows of `stride` bytes; no column
  // covers any line until set.
  void Reset(int width, int height, std::size_t stride) {
    const auto w = static_cast<std::size_t>(width);
    first_.assign(w, 0);
    count_.assign(w, 0);
    sourceByte_.assign(w, 0);
    sourceFromBottom32_.assign(w, 0);
    base_.assign(w, 0);
    step_.assign(w, 0);
    base32_.assign(w, 0);
    step32_.assign(w, 0);
    width_ = width;
    height_ = height;
    stride_ = static_cast<std::ptrdiff_t>(stride);
    rowEndColumns_ = width;
    // Source positions are worked out in 32 bits and line numbers multiplied by the stride as
    // 16-bit halves: fine for any picture below 10922 by 32768 unless a column is squeezed
    // to a few lines (see SetColumn).
    narrow_ = stride < 32768 && height < 32768;
  }

  // Column x shows source column `sourceColumn` stretched over the screen interval
  // [top, bottom) (lines from the top, real-valued).
  void SetColumn(int x, double top, double bottom, int sourceColumn) {
    const PixelRange lines = CentresWithin(top, bottom, height_);
    const Sampling sampling = SampleEvenly(top, bottom, lines.first, height_);
    const auto i = static_cast<std::size_t>(x);
    first_[i] = lines.first;
    count_[i] = static_cast<unsigned>(lines.end - lines.first);
    sourceByte_[i] = sourceColumn * 3;
    sourceFromBottom32_[i] = static_cast<std::int32_t>(
        sourceColumn * 3 + (height_ - 1) * static_cast<std::int64_t>(stride_));
    // Source line at screen line t: (base + step * t) >> 16, kept within the picture at the
    // column's last line even when rounding would carry it one past.
    const std::int64_t limit = (static_cast<std::int64_t>(height_) << 16) - 1;
    const std::int64_t start = std::min(sampling.start, limit);
    const std::int64_t lastAlong = std::max(lines.end - lines.first - 1, 0);
    std::int64_t step = sampling.step;
    if (lastAlong > 0 && start + step * lastAlong > limit) step = (limit - start) / lastAlong;
    const std::int64_t base = start - step * lines.first;
    constexpr std::int64_t kNarrow = std::int64_t{1} << 30;
    if (base <= -kNarrow || base >= kNarrow || step * height_ >= kNarrow) narrow_ = false;
    base_[i] = base;
    step_[i] = step;
    base32_[i] = static_cast<std::int32_t>(base);
    step32_[i] = static_cast<std::int32_t>(step);
    // Pixels are moved four bytes at a time; the fourth byte read belongs to the next pixel or
    // to the row padding, except at the end of a row without padding, whose last pixel can end
    // the buffer. Columns showing that pixel are drawn three bytes at a time.
    if (sourceColumn == width_ - 1 && stride_ == 3 * static_cast<std::ptrdiff_t>(width_)) {
      rowEndColumns_ = std::min(rowEndColumns_, x);
    }
  }

  // The run of columns within [x0, x1) that cover screen line `line` (empty when none does).
  PixelRange CoveredRun(int x0, int x1, int line) const {
    const int* const first = first_.data();
    const unsigned* const count = count_.data();
    const auto covers = [first, count, line](int x) {
      return static_cast<unsigned>(line - first[x]) < count[x];
    };
    while (x0 < x1 && !covers(x0)) ++x0;
    while (x1 > x0 && !covers(x1 - 1)) --x1;
    return PixelRange{x0, x1};
  }

  // The same as CoveredRun, found from `near`, the run of a neighbouring line: the panel's
  // outline moves little from line to line, so its ends are found in a few steps rather than
  // by walking in from x0 and x1 over the columns that cover nothing.
  PixelRange CoveredRunNear(int x0, int x1, int line, PixelRange near) const {
    if (near.first >= near.end) return CoveredRun(x0, x1, line);
    const int* const first = first_.data();
    const unsigned* const count = count_.data();
    const auto covers = [first, count, line](int x) {
      return static_cast<unsigned>(line - first[x]) < count[x];
    };
    int a = near.first;
    if (covers(a)) {
      while (a > x0 && covers(a - 1)) --a;
    } else {
      // The run lies within the neighbour's or, failing that, somewhere else entirely.
      while (a < near.end && !covers(a)) ++a;
      if (a == near.end) return CoveredRun(x0, x1, line);
    }
    int b = near.end;
    if (covers(b - 1)) {
      while (b < x1 && covers(b)) ++b;
    } else {
      while (!covers(b - 1)) --b;  // stops at the latest at a, which covers the line
    }
    return PixelRange{a, b};
  }

  // Draws the run of columns `run` (from CoveredRun) of screen line `line` from `source` into
  // `out`, that line's row in the output. The panels drawn with this are convex, so every
  // column of the run covers the line and the pixels are copied without further tests.
  void DrawRun(std::uint8_t* __restrict out, const std::uint8_t* __restrict source, PixelRange run,
               int line) const {
    if (run.first >= run.end) return;
    DrawSpan(out, source, run.first, run.end, FastEnd(run), line);
  }

  // Draws screen lines `line` (run `run` into `out`) and `line + 1` (run `nextRun` into
  // `nextOut`) together: where both runs overlap, each column's source position is worked out
  // once for the two lines, which roughly halves the arithmetic per pixel.
  void DrawRunPair(std::uint8_t* __restrict out, std::uint8_t* __restrict nextOut,
                   const std::uint8_t* __restrict source, PixelRange run, PixelRange nextRun,
                   int line) const {
    const int first = std::max(run.first, nextRun.first);
    const int end = std::min(run.end, nextRun.end);
    if (!narrow_ || first >= end) {
      DrawRun(out, source, run, line);
      DrawRun(nextOut, source, nextRun, line + 1);
      return;
    }
    const int fast = FastEnd(run);
    const int nextFast = FastEnd(nextRun);
    // Each line is drawn from left to right, so a pixel's spilled byte is always written over
    // by the next pixel: first the part left of the overlap, then the overlap, then the rest.
    DrawSpan(out, source, run.first, first, fast, line);
    DrawSpan(nextOut, source, nextRun.first, first, nextFast, line + 1);
    int x = first;
#if LUMAFOLIO_SSE2
    const int pairedFast = std::min({fast, nextFast, end});
    const __m128i lines = _mm_set1_epi32(line);
    const __m128i strides = _mm_set1_epi32(static_cast<std::int32_t>(stride_));
    // Local copies: the byte stores below could otherwise alias the tables' pointers.
    const std::int32_t* const base = base32_.data();
    const std::int32_t* const step = step32_.data();
    const std::int32_t* const sourceByte = sourceFromBottom32_.data();
    for (; x + 4 <= pairedFast; x += 4) {
      const __m128i steps = Load(step + x);
      const __m128i position = Position(Load(base + x), lines, steps);
      const __m128i bytes = Load(sourceByte + x);
      Move4(out + x * 3, source, Offsets(position, bytes, strides));
      Move4(nextOut + x * 3, source, Offsets(_mm_add_epi32(position, steps), bytes, strides));
    }
#endif
    DrawSpan(out, source, x, run.end, fast, line);
    DrawSpan(nextOut, source, x, nextRun.end, nextFast, line + 1);
  }

  void Release() { *this = ColumnPanel(); }

 private:
  // Four-byte moves spill one byte into the next pixel, which is written right after; the
  // run's last pixel, and any that could end the source buffer, are moved three bytes at a
  // time. Pixels before the returned column are moved four bytes at a time.
  int FastEnd(PixelRange run) const { return std::min(run.end - 1, rowEndColumns_); }

  // Draws columns [x, end) of screen line `line` from `source`, left to right, moving the
  // pixels before `fast` four bytes at a time.
  void DrawSpan(std::uint8_t* __restrict out, const std::uint8_t* __restrict source, int x, int end,
                int fast, int line) const {
    if (narrow_) {
      // Offsets are counted from the source's start, so they are never negative and need no
      // sign extension on their way to an address.
      const std::int32_t* const sourceByte = sourceFromBottom32_.data();
      const std::int32_t* const base = base32_.data();
      const std::int32_t* const step = step32_.data();
      const auto stride = static_cast<std::int32_t>(stride_);
#if LUMAFOLIO_SSE2
      const __m128i lines = _mm_set1_epi32(line);
      const __m128i strides = _mm_set1_epi32(stride);
      for (; x + 4 <= std::min(fast, end); x += 4) {
        const __m128i position = Position(Load(base + x), lines, Load(step + x));
        Move4(out + x * 3, source, Offsets(position, Load(sourceByte + x), strides));
      }
#endif
      for (; x < end; ++x) {
        const std::int32_t offset = sourceByte[x] - ((base[x] + step[x] * line) >> 16) * stride;
        Move(out + x * 3, source + offset, x < fast);
      }
      return;
    }
    const std::int32_t* const sourceByte = sourceByte_.data();
    const std::uint8_t* const top = source + (height_ - 1) * stride_;  // lines count downward
    for (; x < end; ++x) {
      const std::int64_t index = (base_[x] + step_[x] * line) >> 16;
      Move(out + x * 3, top + (sourceByte[x] - index * stride_), x < fast);
    }
  }

  // One pixel: four bytes when the spilled byte is written again right after and the source
  // has a byte to spare, three otherwise.
  static void Move(std::uint8_t* __restrict to, const std::uint8_t* __restrict from, bool wide) {
    if (wide) {
      std::uint32_t pixel;
      std::memcpy(&pixel, from, 4);
      std::memcpy(to, &pixel, 4);
    } else {
      std::memcpy(to, from, 3);
    }
  }

#if LUMAFOLIO_SSE2
  static __m128i Load(const std::int32_t* values) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(values));
  }

  // Source positions base + step * line of four columns in 16.16 fixed point, worked out in
  // 32 bits from the two 32 x 32 -> 64-bit products SSE2 offers.
  static __m128i Position(__m128i bases, __m128i lines, __m128i steps) {
    const __m128i even = _mm_mul_epu32(steps, lines);
    const __m128i odd = _mm_mul_epu32(_mm_srli_epi64(steps, 32), lines);
    const __m128i products =
        _mm_unpacklo_epi32(_mm_shuffle_epi32(even, 0x08), _mm_shuffle_epi32(odd, 0x08));
    return _mm_add_epi32(bases, products);
  }

  // Byte offsets from the source's start of the pixels at `positions` in the columns whose
  // top pixel is at `bytes`. The line and the stride are below 32768: one 16-bit multiply-add
  // gives their product.
  static __m128i Offsets(__m128i positions, __m128i bytes, __m128i strides) {
    return _mm_sub_epi32(bytes, _mm_madd_epi16(_mm_srai_epi32(positions, 16), strides));
  }

  // Moves four pixels, four bytes each, from `source` plus `offsets` to `out`; the last spills
  // one byte into the pixel after them.
  static void Move4(std::uint8_t* __restrict out, const std::uint8_t* __restrict source,
                    __m128i offsets) {
    alignas(16) std::uint32_t offset[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(offset), offsets);
    std::uint32_t p0;
    std::uint32_t p1;
    std::uint32_t p2;
    std::uint32_t p3;
    std::memcpy(&p0, source + offset[0], 4);
    std::memcpy(&p1, source + offset[1], 4);
    std::memcpy(&p2, source + offset[2], 4);
    std::memcpy(&p3, source + offset[3], 4);
    std::memcpy(out, &p0, 4);
    std::memcpy(out + 3, &p1, 4);
    std::memcpy(out + 6, &p2, 4);
    std::memcpy(out + 9, &p3, 4);
  }
#endif

  std::vector<int> first_;
  std::vector<unsigned> count_;
  std::vector<std::int32_t> sourceByte_;
  std::vector<std::int32_t> sourceFromBottom32_;  // the column's top pixel from the source's start
  std::vector<std::int64_t> base_;
  std::vector<std::int64_t> step_;
  std::vector<std::int32_t> base32_;  // the same in 32 bits, for narrow panels
  std::vector<std::int32_t> step32_;
  int width_ = 0;
  int height_ = 0;
  std::ptrdiff_t stride_ = 0;
  int rowEndColumns_ = 0;  // the first column showing a pixel that ends a source row
  bool narrow_ = true;
};

// A card turning about its centre line at progress p < 1: in the first half the old side turns
// away from the picture plane (angle p), in the second the new side turns back from edge-on
// (angle p - 0.5), each half a quarter turn.
struct CardTurn {
  bool opening;   // the new side is showing
  double across;  // the card's half-extent as a fraction of the picture's
  double depth;   // how far its outer edges lie behind the axis, as the same fraction
};

inline CardTurn CardTurnAt(double p) {
  const bool opening = p > 0.5;
  const double angle = (opening ? p - 0.5 : p) * 3.1416;
  return {opening, opening ? std::sin(angle) : std::cos(angle),
          opening ? std::cos(angle) : std::sin(angle)};
}

}  // namespace lumafolio::transitions::panels
