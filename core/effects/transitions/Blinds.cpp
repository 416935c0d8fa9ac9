#include <algorithm>
#include <cstdint>
#include <cstring>

#include "core/effects/drawing/StageView.h"
#include "core/effects/transitions/TransitionRoutines.h"

namespace lumafolio::transitions {
namespace {

// Horizontal blinds: band j holds rows ⌊j × H / k⌋ up to the next band's first row. The bottom
// `bottomLines` rows of each band are taken from `bottom`, the rest from `top`.
void DrawHorizontalBlinds(const StageView& view, int k, int bottomLines, const std::uint8_t* bottom,
                          const std::uint8_t* top) {
  const std::size_t bytes = view.RowBytes();
  const std::int64_t h = view.height;
  for (int band = 0; band < k; ++band) {
    const int first = static_cast<int>(band * h / k);
    const int end = static_cast<int>((band + 1) * h / k);
    for (int row = first; row < end; ++row) {
      const std::uint8_t* source = row - first < bottomLines ? bottom : top;
      const std::size_t offset = static_cast<std::size_t>(row) * view.stride;
      std::memcpy(view.out + offset, source + offset, bytes);
    }
  }
}

// Vertical blinds: bands of W / k columns, the last one reaching the right edge. Each shows
// `toColumns` columns of B on its left or right side and A elsewhere.
void DrawVerticalBlinds(const StageView& view, int k, int toColumns, bool onLeft) {
  const int bandColumns = view.width / k;
  for (int row = 0; row < view.height; ++row) {
    std::uint8_t* out = view.OutRow(row);
    const std::uint8_t* from = view.FromRow(row);
    const std::uint8_t* to = view.ToRow(row);
    for (int band = 0; band < k; ++band) {
      const int first = band * bandColumns;
      const int end = band == k - 1 ? view.width : first + bandColumns;
      const int split = onLeft ? first + toColumns : end - toColumns;
      const std::size_t a = static_cast<std::size_t>(first) * 3;
      const std::size_t b = static_cast<std::size_t>(split) * 3;
      const std::size_t c = static_cast<std::size_t>(end) * 3;
      std::memcpy(out + a, (onLeft ? to : from) + a, b - a);
      std::memcpy(out + b, (onLeft ? from : to) + b, c - b);
    }
  }
}

}  // namespace

// Venetian blinds: in every one of k bands B takes over the same number of lines or columns.
int Blinds(int command, const EffectParams& params, EffectState& /*state*/) {
  if (command != kEffectStep) return 0;
  const StageView view(params);
  const int q = Percent(params);
  if (DrawEndPoint(view, q)) return 0;
  const int k = std::max(1, params.variant);
  // The band fill is worked out from p in single precision; the product and quotient are
  // taken exactly (in double), so the result follows p's single-precision rounding.
  const double p = static_cast<float>(params.step) / static_cast<float>(params.lastStep);
  const int h = view.height;
  switch (params.direction) {
    case kEdgeBottom: {
      const int fromLines = static_cast<int>((1.0 - p) * h / k);
      DrawHorizontalBlinds(view, k, fromLines, view.from, view.to);
      break;
    }
    case kEdgeRight:
    case kEdgeLeft: {
      const std::int64_t columns = static_cast<std::int64_t>(view.width) * q / 100;
      const int toColumns = static_cast<int>(columns / k);
      DrawVerticalBlinds(view, k, toColumns, params.direction == kEdgeRight);
      break;
    }
    default: {
      const int toLines = static_cast<int>(p * h / k);
      DrawHorizontalBlinds(view, k, toLines, view.to, view.from);
      break;
    }
  }
  return 0;
}

}  // namespace lumafolio::transitions
