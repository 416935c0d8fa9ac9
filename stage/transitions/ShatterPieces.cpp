#include "stage/transitions/ShatterPieces.h"

#include <cmath>
#include <cstddef>

#include "stage/EffectRandom.h"
#include "stage/transitions/StageView.h"
#include "stage/transitions/TilePieces.h"

namespace lumafolio::transitions {

int ShatterPieces::Run(int command, const EffectParams& params, int wantedSize) {
  if (command == kEffectBegin) {
    // Begin may come without a picture size; the first step then builds the pieces.
    if (params.width > 0 && params.height > 0) {
      Build(params.width, params.height, wantedSize);
    } else {
      Free();
    }
    return 0;
  }
  if (command == kEffectEnd) {
    Free();
    return 0;
  }
  if (params.step <= 0) {
    StageView(params).CopyFrom();
    return 0;
  }
  // The flight formula lifts every piece clear of the picture by the last step only for about
  // 34 steps or more; with fewer, pieces of the old picture would stay on the finished one.
  if (params.step >= params.lastStep) {
    StageView(params).CopyTo();
    return 0;
  }
  if (flights_.empty() || width_ != params.width || height_ != params.height ||
      wantedSize_ != wantedSize) {
    Build(params.width, params.height, wantedSize);
  }
  Draw(params);
  return 0;
}

void ShatterPieces::Build(int width, int height, int wantedSize) {
  width_ = width;
  height_ = height;
  wantedSize_ = wantedSize;
  size_ = TileSizeFor(wantedSize, width, height);
  const std::size_t count =
      static_cast<std::size_t>(width / size_) * static_cast<std::size_t>(height / size_);
  flights_.assign(count * 2, 0);
  EffectSrandFromClock();
  for (std::size_t i = 0; i < count; ++i) {
    flights_[2 * i] = EffectRand() % (2 * width);
    // A picture one line high has no range for the upward spread: only the fixed part is left.
    flights_[2 * i + 1] = RandBelow(height / 2) + 5 * height / 2;
  }
}

void ShatterPieces::Free() {
  std::vector<std::int32_t>().swap(flights_);
  width_ = height_ = wantedSize_ = size_ = 0;
}

void ShatterPieces::Draw(const EffectParams& params) const {
  const StageView view(params);
  view.CopyTo();

  // The flight factor g (in units of 2^-20) accelerates with the step. With the usual hundred
  // steps it ends near 445000, enough to lift every piece (Y >= 5 H / 2) above the picture.
  const double s = params.step;
  const double n = params.lastStep;
  const double k = 4.0 * std::sqrt(n);
  const double f = ((k + s) * (k + s) - k * k / 3.0) / ((n + k) * (n + k)) * 1024.0 * 0.67;
  const std::int64_t g = static_cast<std::int64_t>(std::floor(f * f));

  WithSquareSize(size_, [&]<int kSize>() { DrawPieces<kSize>(view, g); });
}

template <int kSize>
void ShatterPieces::DrawPieces(const StageView& view, std::int64_t g) const {
  const int size = kSize > 0 ? kSize : size_;
  const int columns = width_ / size;
  const int rows = height_ / size;
  const std::int64_t width = width_;
  // Drawn from the top right back to the bottom left: the pieces that start low end up on top.
  for (int pieceRow = rows - 1; pieceRow >= 0; --pieceRow) {
    const int y = pieceRow * size;
    const std::int32_t* flight = flights_.data() + 2 * static_cast<std::size_t>(pieceRow) * columns;
    const std::uint8_t* from = view.FromRow(y);
    for (int pieceColumn = columns - 1; pieceColumn >= 0; --pieceColumn) {
      const std::int64_t toRow = y + ((g * flight[2 * pieceColumn + 1]) >> 20);
      // Pieces only climb: one that has left over the top is gone for good.
      if (toRow >= height_) continue;
      const int x = pieceColumn * size;
      const std::int64_t toX = x + (((flight[2 * pieceColumn] - width) * g) >> 20);
      if (toX >= 0 && toX + size <= width && toRow + size <= height_) {
        CopySquare<kSize>(view.OutRow(static_cast<int>(toRow)) + toX * 3,
                          from + static_cast<std::size_t>(x) * 3, view.stride, size);
      } else if (toX < width && toX + size > 0) {
        CopyBlockClipped(view, view.from, x, y, static_cast<int>(toX), static_cast<int>(toRow),
                         size, size);
      }
    }
  }
}

}  // namespace lumafolio::transitions
