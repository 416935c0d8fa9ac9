#include <algorithm>
#include <cstdint>
#include <cstring>

#include "core/effects/drawing/StageView.h"
#include "core/effects/transitions/TransitionRoutines.h"

namespace lumafolio::transitions {
namespace {

// ⌊size × step / lastStep⌋, in 64 bits so that long transitions cannot overflow.
int Uncovered(int size, const EffectParams& params) {
  return static_cast<int>(static_cast<std::int64_t>(size) * params.step / params.lastStep);
}

// Rows [firstOwn, endOwn) are B's own; every other row repeats row `front`.
void StretchLines(const StageView& view, int firstOwn, int endOwn, int front) {
  const std::size_t bytes = view.RowBytes();
  const std::uint8_t* frontLine = view.ToRow(front);
  for (int row = 0; row < view.height; ++row) {
    const bool own = row >= firstOwn && row < endOwn;
    std::memcpy(view.OutRow(row), own ? view.ToRow(row) : frontLine, bytes);
  }
}

// Sets pixels [first, end) of a row to `pixel`.
void FillPixels(std::uint8_t* row, int first, int end, const std::uint8_t* pixel) {
  const std::uint8_t blue = pixel[0], green = pixel[1], red = pixel[2];
  for (std::uint8_t* o = row + static_cast<std::size_t>(first) * 3;
       o < row + static_cast<std::size_t>(end) * 3; o += 3) {
    o[0] = blue;
    o[1] = green;
    o[2] = red;
  }
}

// Columns [firstOwn, endOwn) are B's own; every other column repeats column `front`.
void StretchColumns(const StageView& view, int firstOwn, int endOwn, int front) {
  const std::size_t ownAt = static_cast<std::size_t>(firstOwn) * 3;
  const std::size_t ownBytes = static_cast<std::size_t>(endOwn - firstOwn) * 3;
  for (int row = 0; row < view.height; ++row) {
    std::uint8_t* out = view.OutRow(row);
    const std::uint8_t* to = view.ToRow(row);
    std::memcpy(out + ownAt, to + ownAt, ownBytes);
    const std::uint8_t* pixel = to + static_cast<std::size_t>(front) * 3;
    FillPixels(out, 0, firstOwn, pixel);
    FillPixels(out, endOwn, view.width, pixel);
  }
}

}  // namespace

// B is uncovered in place from one edge; the rest of the picture repeats B's line or column at
// the front, so that B seems to be pulled out of that line.
int Stretch(int command, const EffectParams& params, EffectState& /*state*/) {
  if (command != kEffectStep) return 0;
  const StageView view(params);
  if (params.step == 0) {
    view.CopyFrom();
    return 0;
  }
  const int w = view.width;
  const int h = view.height;
  switch (params.direction) {
    case kEdgeBottom: {
      // From the top: the front is B's lowest uncovered line. Before any line is uncovered
      // that would be the line above the picture; B's top line stands in for it.
      const int e = Uncovered(h, params);
      StretchLines(view, h - e, h, std::min(h - e, h - 1));
      break;
    }
    case kEdgeRight: {
      // From the left: the front is the first column right of the uncovered part.
      const int f = Uncovered(w, params);
      StretchColumns(view, 0, f, std::min(f, w - 1));
      break;
    }
    case kEdgeLeft: {
      // From the right: the front is the leftmost uncovered column, or B's rightmost column
      // while none is uncovered yet.
      const int f = Uncovered(w, params);
      StretchColumns(view, w - f, w, std::min(w - f, w - 1));
      break;
    }
    default: {
      // From the bottom: rows are stored bottom-up, so the uncovered lines are rows 0 to e - 1
      // and the front is row e.
      const int e = Uncovered(h, params);
      StretchLines(view, 0, e, std::min(e, h - 1));
      break;
    }
  }
  return 0;
}

}  // namespace lumafolio::transitions
