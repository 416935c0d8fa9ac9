#include "core/effects/drawing/StripLayout.h"

#include <algorithm>
#include <cstring>

#include "core/effects/drawing/StageView.h"

namespace lumafolio::transitions {
namespace {

// ⌊covered × size⌋ lines or columns of B.
int Amount(double covered, int size) {
  return std::clamp(static_cast<int>(covered * size), 0, size);
}

// The row of A or B that O's row `row` shows in a strip where B has taken `n` lines, B entering
// through the top (rows H - n to H - 1, rows being counted from the bottom) or the bottom.
const std::uint8_t* StripSource(const StageView& view, StripMotion motion, bool fromTop, int n,
                                int row) {
  const int h = view.height;
  if (fromTop) {
    if (row >= h - n) return view.ToRow(motion.toMoves ? row - (h - n) : row);
    return view.FromRow(motion.fromMoves ? row + n : row);
  }
  if (row < n) return view.ToRow(motion.toMoves ? row + (h - n) : row);
  return view.FromRow(motion.fromMoves ? row - n : row);
}

void DrawVerticalStrips(const StageView& view, StripMotion motion, int count, bool firstFromTop,
                        int n) {
  // The last strip also takes the columns that do not make a whole strip, as the last band
  // takes the remaining lines: on a stage width the count does not divide (1366 into 8) they
  // would otherwise keep whatever the output held before.
  const std::size_t stripBytes = static_cast<std::size_t>(view.width / count) * 3;
  const std::size_t lastOffset = stripBytes * static_cast<std::size_t>(count - 1);
  const std::size_t lastBytes = view.RowBytes() - lastOffset;
  for (int row = 0; row < view.height; ++row) {
    std::uint8_t* out = view.OutRow(row);
    const std::uint8_t* even = StripSource(view, motion, firstFromTop, n, row);
    const std::uint8_t* odd = StripSource(view, motion, !firstFromTop, n, row);
    std::size_t offset = 0;
    for (int strip = 0; strip < count - 1; ++strip, offset += stripBytes) {
      const std::uint8_t* source = (strip & 1) == 0 ? even : odd;
      std::memcpy(out + offset, source + offset, stripBytes);
    }
    const std::uint8_t* last = ((count - 1) & 1) == 0 ? even : odd;
    std::memcpy(out + lastOffset, last + lastOffset, lastBytes);
  }
}

void DrawHorizontalBands(const StageView& view, StripMotion motion, int count, bool firstFromRight,
                         int n) {
  const int w = view.width;
  const int bandLines = view.height / count;
  const std::size_t fromBytes = static_cast<std::size_t>(w - n) * 3;
  const std::size_t toBytes = static_cast<std::size_t>(n) * 3;
  for (int band = 0; band < count; ++band) {
    const int first = band * bandLines;
    const int end = band == count - 1 ? view.height : first + bandLines;
    const bool fromRight = firstFromRight == ((band & 1) == 0);
    // Byte offsets in the row: where B's part and A's part go in O and where they come from.
    std::size_t toAt, toFrom, fromAt, fromFrom;
    if (fromRight) {
      fromAt = 0;
      fromFrom = motion.fromMoves ? toBytes : 0;
      toAt = fromBytes;
      toFrom = motion.toMoves ? 0 : fromBytes;
    } else {
      toAt = 0;
      toFrom = motion.toMoves ? fromBytes : 0;
      fromAt = toBytes;
      fromFrom = motion.fromMoves ? 0 : toBytes;
    }
    for (int row = first; row < end; ++row) {
      std::uint8_t* out = view.OutRow(row);
      std::memcpy(out + fromAt, view.FromRow(row) + fromFrom, fromBytes);
      std::memcpy(out + toAt, view.ToRow(row) + toFrom, toBytes);
    }
  }
}

}  // namespace

void DrawStrips(const EffectParams& params, StripMotion motion, double covered) {
  const StageView view(params);
  const int count = std::max(1, params.variant);
  switch (params.direction) {
    case kEdgeRight:
      DrawHorizontalBands(view, motion, count, true, Amount(covered, view.width));
      break;
    case kEdgeLeft:
      DrawHorizontalBands(view, motion, count, false, Amount(covered, view.width));
      break;
    case kEdgeBottom:
      DrawVerticalStrips(view, motion, count, false, Amount(covered, view.height));
      break;
    default:
      DrawVerticalStrips(view, motion, count, true, Amount(covered, view.height));
      break;
  }
}

}  // namespace lumafolio::transitions
