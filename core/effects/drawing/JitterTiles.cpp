#include "core/effects/drawing/JitterTiles.h"

#include <cstddef>
#include <cstring>
#include <vector>

#include "core/effects/EffectRandom.h"
#include "core/effects/drawing/TilePieces.h"

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

// Fills the output rows below `limit` that are not filled yet with the backdrop.
class BackdropRows {
 public:
  BackdropRows(const StageView& view, Backdrop backdrop) : view_(view), backdrop_(backdrop) {}

  void FillBelow(int limit) {
    if (limit > view_.height) limit = view_.height;
    if (limit <= filled_) return;
    const std::size_t offset = static_cast<std::size_t>(filled_) * view_.stride;
    const std::size_t bytes = static_cast<std::size_t>(limit - filled_) * view_.stride;
    if (backdrop_ == Backdrop::kBlack) {
      std::memset(view_.out + offset, 0, bytes);
    } else if (backdrop_ == Backdrop::kNewPicture) {
      std::memcpy(view_.out + offset, view_.to + offset, bytes);
    }
    filled_ = limit;
  }

 private:
  const StageView& view_;
  Backdrop backdrop_;
  int filled_ = 0;
};

template <int kSize>
void DrawTiles(const StageView& view, const std::uint8_t* source, int size,
               const std::vector<int>& cornersX, const std::vector<int>& cornersY,
               std::vector<int>& jitter, BackdropRows& backdrop) {
  // A constant range for the usual sizes spares a division per draw (the draws are never
  // negative, so the remainder needs no sign fix-up either).
  const unsigned jitterRange = kSize > 0 ? 2 * kSize : 2 * static_cast<unsigned>(size);
  const std::size_t columns = cornersX.size();
  jitter.resize(2 * columns);
  for (std::size_t row = 0; row < cornersY.size(); ++row) {
    const int y = static_cast<int>(row) * size;
    const std::uint8_t* from = source + static_cast<std::size_t>(y) * view.stride;
    // The row's draws at once, x then y for each tile, as the tiles would draw them one by one.
    EffectRandFill(jitter.data(), jitter.size());
    const int baseY = cornersY[row] - size;
    // The row's tiles reach at most 2 size - 1 lines above baseY; the corners only climb from
    // row to row, so rows filled now are never reached by tiles already drawn.
    backdrop.FillBelow(baseY + 3 * size - 1);
    for (std::size_t column = 0; column < columns; ++column) {
      const int x = static_cast<int>(column) * size;
      int toX = cornersX[column] - size +
                static_cast<int>(static_cast<unsigned>(jitter[2 * column]) % jitterRange);
      int toY =
          baseY + static_cast<int>(static_cast<unsigned>(jitter[2 * column + 1]) % jitterRange);
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

// The draws of one row of tiles, kept from step to step.
struct JitterDraws {
  std::vector<int> draws;
};

}  // namespace

void DrawJitteredTiles(const StageView& view, const std::uint8_t* source, int size, int numerator,
                       int denominator, EffectState& state, Backdrop backdrop) {
  const std::vector<int> cornersX = ScaledCorners(view.width, size, numerator, denominator);
  const std::vector<int> cornersY = ScaledCorners(view.height, size, numerator, denominator);
  BackdropRows backdropRows(view, backdrop);
  WithSquareSize(size, [&]<int kSize>() {
    DrawTiles<kSize>(view, source, size, cornersX, cornersY, state.Get<JitterDraws>().draws,
                     backdropRows);
  });
  backdropRows.FillBelow(view.height);
}

}  // namespace lumafolio::transitions
