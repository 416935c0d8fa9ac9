#include "stage/transitions/JitterTiles.h"

#include <cstddef>
#include <vector>

#include "stage/EffectRandom.h"
#include "stage/transitions/TilePieces.h"

namespace lumafolio::transitions {
namespace {

// Where a tile's scaled place puts its bottom left corner, one entry per tile column (or row):
// tiles are scaled about their own centres, so that at full scale and no jitter each lands on
// its place exactly.
std::vector<int> ScaledCorners(int length, int size, int numerator, int denominator) {
  const int centre = length / 2;
  const int half = size / 2;
  std::vector<int> corners(static_cast<std::size_t>(length / size));
  for (std::size_t i = 0; i < corners.size(); ++i) {
    const int place = static_cast<int>(i) * size;
    corners[i] = centre + (place + half - centre) * numerator / denominator - half;
  }
  return corners;
}

template <int kSize>
void DrawTiles(const StageView& view, const std::uint8_t* source, int size,
               const std::vector<int>& cornersX, const std::vector<int>& cornersY) {
  // A constant range for the usual sizes spares a division per draw.
  const int jitterRange = kSize > 0 ? 2 * kSize : 2 * size;
  for (std::size_t row = 0; row < cornersY.size(); ++row) {
    const int y = static_cast<int>(row) * size;
    const std::uint8_t* from = source + static_cast<std::size_t>(y) * view.stride;
    for (std::size_t column = 0; column < cornersX.size(); ++column) {
      const int x = static_cast<int>(column) * size;
      int toX = cornersX[column] + EffectRand() % jitterRange - size;
      int toY = cornersY[row] + EffectRand() % jitterRange - size;
      if (toX < 0) toX = 0;
      if (toY < 0) toY = 0;
      if (toX + size <= view.width && toY + size <= view.height) {
        CopySquare<kSize>(view.OutRow(toY) + static_cast<std::size_t>(toX) * 3,
                          from + static_cast<std::size_t>(x) * 3, view.stride, size);
      } else {
        CopyBlockClipped(view, source, x, y, toX, toY, size, size);
      }
    }
  }
}

}  // namespace

void DrawJitteredTiles(const StageView& view, const std::uint8_t* source, int size, int numerator,
                       int denominator) {
  const std::vector<int> cornersX = ScaledCorners(view.width, size, numerator, denominator);
  const std::vector<int> cornersY = ScaledCorners(view.height, size, numerator, denominator);
  WithSquareSize(size,
                 [&]<int kSize>() { DrawTiles<kSize>(view, source, size, cornersX, cornersY); });
}

}  // namespace lumafolio::transitions
