#include <algorithm>
#include <cstdint>
#include <cstring>

#include "stage/transitions/StageView.h"
#include "stage/transitions/TransitionRoutines.h"

namespace lumafolio::transitions {

namespace {

// The back of the folded paper: every channel 96 brighter, stopping at white.
struct Brighten {
  std::uint8_t value[256];
  constexpr Brighten() : value() {
    for (int i = 0; i < 256; ++i) value[i] = static_cast<std::uint8_t>(std::min(i + 96, 255));
  }
};
constexpr Brighten kBrighten;

}  // namespace

// The old picture's top left corner folds back along the diagonal x + y = n (x from the left, y
// from the top) as n runs from 0 to W + H. Before the fold line the new picture shows; the
// folded-back triangle lies mirrored over the old picture just past the line, lighter, as the
// back of the paper.
int Fold(int command, const EffectParams& params) {
  if (command != kEffectStep) return 0;
  const StageView view(params);
  const int w = view.width;
  const int h = view.height;
  const int n = static_cast<int>(static_cast<std::int64_t>(w + h) * params.step / params.lastStep);

  for (int y = 0; y < h; ++y) {
    const int row = h - 1 - y;
    std::uint8_t* out = view.OutRow(row);
    const std::uint8_t* a = view.FromRow(row);
    // Pixels x < n - y lie before the fold line.
    const int uncovered = std::clamp(n - y, 0, w);
    std::memcpy(out, view.ToRow(row), static_cast<std::size_t>(uncovered) * 3);
    // Pixel (x, y) past the line shows the cut-off pixel mirrored onto it, (n - 1 - y, n - x):
    // diagonal x + y = n + k receives diagonal n - 1 - k, so the pixels on both sides of the
    // fold line come from the same place in the old picture. All of a line's flap comes from
    // one column of A, read upward from line y as x grows, while that lies in the picture.
    int flapEnd = uncovered;
    const int sourceColumn = n - 1 - y;
    if (sourceColumn >= 0 && sourceColumn < w) {
      flapEnd = std::min(n + 1, w);
      const std::uint8_t* column = view.from + static_cast<std::size_t>(sourceColumn) * 3;
      for (int x = uncovered; x < flapEnd; ++x) {
        const std::uint8_t* pixel =
            column + static_cast<std::size_t>(h - 1 - (n - x)) * view.stride;
        out[x * 3] = kBrighten.value[pixel[0]];
        out[x * 3 + 1] = kBrighten.value[pixel[1]];
        out[x * 3 + 2] = kBrighten.value[pixel[2]];
      }
    }
    std::memcpy(out + flapEnd * 3, a + flapEnd * 3, static_cast<std::size_t>(w - flapEnd) * 3);
  }
  return 0;
}

}  // namespace lumafolio::transitions
