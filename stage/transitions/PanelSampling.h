#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

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
inline void StretchRow(std::uint8_t* out, const std::uint8_t* source, int count,
                       const Sampling& sampling, int sourceWidth) {
  std::int64_t position = sampling.start;
  const std::int64_t last = static_cast<std::int64_t>(sourceWidth - 1) << 16;
  for (int i = 0; i < count; ++i) {
    const std::uint8_t* pixel = source + (std::min(position, last) >> 16) * 3;
    out[i * 3] = pixel[0];
    out[i * 3 + 1] = pixel[1];
    out[i * 3 + 2] = pixel[2];
    position += sampling.step;
  }
}

// A panel cut into screen columns, drawn line by line so that the output is written in memory
// order. Each column covers a run of lines [first, end) counted from the top and shows one
// source column whose lines are spread evenly over that run. The tables are kept as plain
// arrays (one entry per output column, reused from step to step) so that the per-pixel loop is
// a few loads, a multiply and a three-byte copy.
class ColumnPanel {
 public:
  // Makes room for a picture of `width` by `height` with rows of `stride` bytes; no column
  // covers any line until set.
  void Reset(int width, int height, std::size_t stride) {
    const auto w = static_cast<std::size_t>(width);
    first_.assign(w, 0);
    count_.assign(w, 0);
    sourceByte_.assign(w, 0);
    start_.assign(w, 0);
    step_.assign(w, 0);
    lineOffset_.resize(static_cast<std::size_t>(height));
    for (int line = 0; line < height; ++line) {
      // Lines from the top are rows from the bottom.
      lineOffset_[static_cast<std::size_t>(line)] =
          static_cast<std::size_t>(height - 1 - line) * stride;
    }
    height_ = height;
  }

  // Column x shows source column `sourceColumn` stretched over the screen interval
  // [top, bottom) (lines from the top, real-valued).
  void SetColumn(int x, double top, double bottom, int sourceColumn) {
    const PixelRange lines = CentresWithin(top, bottom, height_);
    const Sampling sampling = SampleEvenly(top, bottom, lines.first, height_);
    const auto i = static_cast<std::size_t>(x);
    first_[i] = lines.first;
    count_[i] = static_cast<unsigned>(lines.end - lines.first);
    sourceByte_[i] = static_cast<std::size_t>(sourceColumn) * 3;
    start_[i] = sampling.start;
    step_[i] = sampling.step;
  }

  // Draws screen line `line` of the columns [x0, x1) from `source` into `out` (that line's row
  // in the output); columns that do not cover the line are left as they are.
  void DrawLine(std::uint8_t* __restrict out, const std::uint8_t* __restrict source, int x0, int x1,
                int line) const {
    // Local copies of the table pointers: the byte stores below could otherwise alias the
    // vectors' own pointers and force a reload of each one per pixel.
    const int* const first = first_.data();
    const unsigned* const count = count_.data();
    const std::size_t* const sourceByte = sourceByte_.data();
    const std::int64_t* const start = start_.data();
    const std::int64_t* const step = step_.data();
    const std::size_t* const lineOffset = lineOffset_.data();
    const std::int64_t last = height_ - 1;
    for (int x = x0; x < x1; ++x) {
      const auto i = static_cast<std::size_t>(x);
      const auto along = static_cast<unsigned>(line - first[i]);
      if (along >= count[i]) continue;
      const std::int64_t index = std::min((start[i] + step[i] * along) >> 16, last);
      const std::uint8_t* pixel =
          source + lineOffset[static_cast<std::size_t>(index)] + sourceByte[i];
      const std::uint8_t blue = pixel[0];
      const std::uint8_t green = pixel[1];
      const std::uint8_t red = pixel[2];
      out[i * 3] = blue;
      out[i * 3 + 1] = green;
      out[i * 3 + 2] = red;
    }
  }

  void Release() { *this = ColumnPanel(); }

 private:
  std::vector<int> first_;
  std::vector<unsigned> count_;
  std::vector<std::size_t> sourceByte_;
  std::vector<std::int64_t> start_;
  std::vector<std::int64_t> step_;
  std::vector<std::size_t> lineOffset_;
  int height_ = 0;
};

}  // namespace lumafolio::transitions::panels
