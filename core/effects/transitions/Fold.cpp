#include <algorithm>
#include <cstdint>
#include <cstring>

#include "core/effects/drawing/StageView.h"
#include "core/effects/transitions/TransitionRoutines.h"

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
int Fold(int command, const EffectParams& params, EffectState& /*state*/) {
  if (command != kEffectStep) return 0;
  const StageView view(params);
  const int w = view.width;
  const int h = view.height;
  const int n = static_cast<int>(static_cast<std::int64_t>(w + h) * params.step / params.lastStep);

  // Pixel (x, y) past the line shows the cut-off pixel mirrored onto it, (n - 1 - y, n - x):
  // diagonal x + y = n + k receives diagonal n - 1 - k, so the pixels on both sides of the fold
  // line come from the same place in the old picture. A line's flap thus reads one column of A
  // from line y upward, a transposed walk; it is done in tiles of lines by columns so that the
  // rows of A it touches stay in the cache.
  constexpr int kTileLines = 16;
  constexpr int kTileColumns = 64;
  for (int y0 = 0; y0 < h; y0 += kTileLines) {
    const int y1 = std::min(h, y0 + kTileLines);
    int flapFirst[kTileLines];
    int flapEnd[kTileLines];
    int tileFirst = w;
    int tileEnd = 0;
    for (int y = y0; y < y1; ++y) {
      const int row = h - 1 - y;
      std::uint8_t* out = view.OutRow(row);
      // Pixels x < n - y lie before the fold line.
      const int uncovered = std::clamp(n - y, 0, w);
      std::memcpy(out, view.ToRow(row), static_cast<std::size_t>(uncovered) * 3);
      // The flap runs from the line to x = n, while its source column lies in the picture.
      const int sourceColumn = n - 1 - y;
      const int end = (sourceColumn >= 0 && sourceColumn < w) ? std::min(n + 1, w) : uncovered;
      std::memcpy(out + end * 3, view.FromRow(row) + end * 3,
                  static_cast<std::size_t>(w - end) * 3);
      flapFirst[y - y0] = uncovered;
      flapEnd[y - y0] = end;
      if (uncovered < end) {
        tileFirst = std::min(tileFirst, uncovered);
        tileEnd = std::max(tileEnd, end);
      }
    }
    for (int x0 = tileFirst; x0 < tileEnd; x0 += kTileColumns) {
      for (int y = y0; y < y1; ++y) {
        const int first = std::max(flapFirst[y - y0], x0);
        const int end = std::min(flapEnd[y - y0], x0 + kTileColumns);
        std::uint8_t* out = view.OutRow(h - 1 - y);
        const std::uint8_t* column = view.from + static_cast<std::size_t>(n - 1 - y) * 3;
        for (int x = first; x < end; ++x) {
          const std::uint8_t* pixel =
              column + static_cast<std::size_t>(h - 1 - (n - x)) * view.stride;
          out[x * 3] = kBrighten.value[pixel[0]];
          out[x * 3 + 1] = kBrighten.value[pixel[1]];
          out[x * 3 + 2] = kBrighten.value[pixel[2]];
        }
      }
    }
  }
  return 0;
}

}  // namespace lumafolio::transitions
