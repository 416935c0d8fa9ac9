#include "core/effects/drawing/ShatterPieces.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/effects/EffectRandom.h"
#include "core/effects/drawing/StageView.h"
#include "core/effects/drawing/TilePieces.h"

namespace lumafolio::transitions {
namespace {

// Factors come from 15-bit random numbers, so none reaches this however large the picture.
constexpr int kFactorLimit = 32768;
// Places of pieces that are not drawn by the plain copy.
constexpr std::ptrdiff_t kOffPicture = -1;  // wholly outside: nothing to draw
constexpr std::ptrdiff_t kClipped = -2;     // cut by an edge of the picture
// Lines of B copied beyond those the next row of pieces may land on, so that each copy is a
// few lines long rather than one.
constexpr int kCopyAhead = 8;

// Copies a 2 x 2 piece, each line read as one 8-byte word (its 6 bytes and 2 beyond, which
// must lie inside the source picture) and written as 4 + 2 bytes; both lines read before either
// is written.
inline void CopyPair(std::uint8_t* to, const std::uint8_t* from, std::size_t stride) {
  std::uint64_t line0, line1;
  std::memcpy(&line0, from, 8);
  std::memcpy(&line1, from + stride, 8);
  const auto low0 = static_cast<std::uint32_t>(line0);
  const auto high0 = static_cast<std::uint16_t>(line0 >> 32);
  const auto low1 = static_cast<std::uint32_t>(line1);
  const auto high1 = static_cast<std::uint16_t>(line1 >> 32);
  std::memcpy(to, &low0, 4);
  std::memcpy(to + 4, &high0, 2);
  std::memcpy(to + stride, &low1, 4);
  std::memcpy(to + stride + 4, &high1, 2);
}

}  // namespace

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
  if (sideways_.empty() || width_ != params.width || height_ != params.height ||
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
  const int columns = width / size_;
  const int rows = height / size_;
  const std::size_t count = static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows);
  sideways_.assign(count, 0);
  upward_.assign(count, 0);
  rowSlowest_.assign(static_cast<std::size_t>(rows), 0);
  rowFastest_.assign(static_cast<std::size_t>(rows), 0);
  EffectSrandFromClock();
  std::size_t i = 0;
  for (int row = 0; row < rows; ++row) {
    std::uint16_t slowest = kFactorLimit - 1;
    std::uint16_t fastest = 0;
    for (int column = 0; column < columns; ++column, ++i) {
      sideways_[i] = static_cast<std::uint16_t>(EffectRand() % (2 * width));
      // A picture one line high has no range for the upward spread: only the fixed part is left.
      upward_[i] = static_cast<std::uint16_t>(RandBelow(height / 2));
      slowest = std::min(slowest, upward_[i]);
      fastest = std::max(fastest, upward_[i]);
    }
    rowSlowest_[static_cast<std::size_t>(row)] = slowest;
    rowFastest_[static_cast<std::size_t>(row)] = fastest;
  }
}

void ShatterPieces::Free() {
  std::vector<std::uint16_t>().swap(sideways_);
  std::vector<std::uint16_t>().swap(upward_);
  std::vector<std::uint16_t>().swap(rowSlowest_);
  std::vector<std::uint16_t>().swap(rowFastest_);
  std::vector<int>().swap(across_);
  std::vector<std::ptrdiff_t>().swap(acrossBytes_);
  std::vector<int>().swap(up_);
  std::vector<std::ptrdiff_t>().swap(upBytes_);
  std::vector<std::ptrdiff_t>().swap(places_);
  width_ = height_ = wantedSize_ = size_ = 0;
}

void ShatterPieces::Draw(const EffectParams& params) {
  const StageView view(params);

  // The flight factor g (in units of 2^-20) accelerates with the step. With the usual hundred
  // steps it ends near 445000, enough to lift every piece (Y >= 5 H / 2) above the picture.
  const double s = params.step;
  const double n = params.lastStep;
  const double k = 4.0 * std::sqrt(n);
  const double f = ((k + s) * (k + s) - k * k / 3.0) / ((n + k) * (n + k)) * 1024.0 * 0.67;
  const std::int64_t g = static_cast<std::int64_t>(std::floor(f * f));

  MakeFlightTables(view, g);
  WithSquareSize(size_, [&]<int kSize>() { DrawPieces<kSize>(view); });
}

void ShatterPieces::MakeFlightTables(const StageView& view, std::int64_t g) {
  const std::int64_t width = width_;
  const int acrossCount = std::min(2 * width_, kFactorLimit);
  across_.resize(static_cast<std::size_t>(acrossCount));
  acrossBytes_.resize(static_cast<std::size_t>(acrossCount));
  for (int x = 0; x < acrossCount; ++x) {
    // The product is negative for the left half of the factors: >> floors it.
    const int dx = static_cast<int>(((x - width) * g) >> 20);
    across_[static_cast<std::size_t>(x)] = dx;
    acrossBytes_[static_cast<std::size_t>(x)] = static_cast<std::ptrdiff_t>(dx) * 3;
  }
  const std::int64_t fixedUp = 5 * height_ / 2;
  const int upCount = std::max(1, std::min(height_ / 2, kFactorLimit));
  up_.resize(static_cast<std::size_t>(upCount));
  upBytes_.resize(static_cast<std::size_t>(upCount));
  for (int y = 0; y < upCount; ++y) {
    const int dy = static_cast<int>((g * (y + fixedUp)) >> 20);
    up_[static_cast<std::size_t>(y)] = dy;
    upBytes_[static_cast<std::size_t>(y)] =
        static_cast<std::ptrdiff_t>(dy) * static_cast<std::ptrdiff_t>(view.stride);
  }
}

template <int kSize>
void ShatterPieces::DrawPieces(const StageView& view) {
  const int size = kSize > 0 ? kSize : size_;
  const int width = width_;
  const int height = height_;
  const int columns = width / size;
  const int rows = height / size;
  const std::size_t stride = view.stride;
  // Held locally: the compiler cannot tell that the pieces' stores leave the view alone.
  std::uint8_t* const out = view.out;
  const int* const across = across_.data();
  const std::ptrdiff_t* const acrossBytes = acrossBytes_.data();
  const int* const up = up_.data();
  const std::ptrdiff_t* const upBytes = upBytes_.data();
  places_.resize(static_cast<std::size_t>(columns));
  std::ptrdiff_t* const places = places_.data();
  // The offsets grow with the factors, so the first and last entries bound every piece's move.
  // Pieces in columns [firstSafe, lastSafe] land inside sideways whatever their factor.
  const int leftmost = across_.front();
  const int rightmost = across_.back();
  const int firstSafe = leftmost >= 0 ? 0 : (size - 1 - leftmost) / size;
  const int lastSafe =
      width - size - rightmost < 0 ? -1 : std::min(columns - 1, (width - size - rightmost) / size);

  // O starts as B. The new picture is copied down just ahead of the pieces rather than all at
  // once: no piece of a row starting at y lands below y + lowestUp, and the lines the pieces
  // land on are then fresh in the cache. Lines [copiedDown, H) hold B already.
  const int lowestUp = up_.front();
  int copiedDown = height;
  const auto copyDownTo = [&](int line) {
    if (line >= copiedDown) return;
    std::memcpy(out + static_cast<std::size_t>(line) * stride,
                view.to + static_cast<std::size_t>(line) * stride,
                static_cast<std::size_t>(copiedDown - line) * stride);
    copiedDown = line;
  };

  // Drawn from the top right back to the bottom left: the pieces that start low end up on top.
  for (int pieceRow = rows - 1; pieceRow >= 0; --pieceRow) {
    const int y = pieceRow * size;
    copyDownTo(std::max(0, y + lowestUp - kCopyAhead));
    // Pieces only climb: a row whose slowest piece has left over the top is gone for good.
    if (y + up[rowSlowest_[static_cast<std::size_t>(pieceRow)]] >= height) continue;
    const std::size_t first =
        static_cast<std::size_t>(pieceRow) * static_cast<std::size_t>(columns);
    const std::uint16_t* const sideways = sideways_.data() + first;
    const std::uint16_t* const upward = upward_.data() + first;
    const std::uint8_t* const from = view.FromRow(y);
    const std::ptrdiff_t rowStart =
        static_cast<std::ptrdiff_t>(y) * static_cast<std::ptrdiff_t>(stride);

    // First where every piece of the row lands, then the copies: looking the moves up between
    // the scattered stores of the copies costs far more than the two passes.
    const auto placeChecked = [&](int column) {
      const int toRow = y + up[upward[column]];
      const int toX = column * size + across[sideways[column]];
      if (toRow >= height || toX >= width || toX + size <= 0) {
        places[column] = kOffPicture;
      } else if (toX >= 0 && toX + size <= width && toRow + size <= height) {
        places[column] = static_cast<std::ptrdiff_t>(toRow) * static_cast<std::ptrdiff_t>(stride) +
                         static_cast<std::ptrdiff_t>(toX) * 3;
      } else {
        places[column] = kClipped;
      }
    };
    const bool belowTop = y + up[rowFastest_[static_cast<std::size_t>(pieceRow)]] + size <= height;
    if (!belowTop || firstSafe > lastSafe) {
      for (int column = 0; column < columns; ++column) placeChecked(column);
    } else {
      for (int column = 0; column < firstSafe; ++column) placeChecked(column);
      // Every piece here lands wholly inside: its place is its own plus the two looked-up moves.
      for (int column = firstSafe; column <= lastSafe; ++column) {
        places[column] = rowStart + static_cast<std::ptrdiff_t>(column) * size * 3 +
                         upBytes[upward[column]] + acrossBytes[sideways[column]];
      }
      for (int column = lastSafe + 1; column < columns; ++column) placeChecked(column);
    }

    // The last piece of the top row ends at the very end of the source when rows have no
    // padding: it alone is read without the 2 bytes beyond.
    const int lastWordColumn = pieceRow == rows - 1 ? columns - 2 : columns - 1;
    for (int column = columns - 1; column >= 0; --column) {
      const std::ptrdiff_t place = places[column];
      const std::size_t x = static_cast<std::size_t>(column) * static_cast<std::size_t>(size);
      if (place >= 0) {
        if constexpr (kSize == 2) {
          if (column <= lastWordColumn) {
            CopyPair(out + place, from + x * 3, stride);
          } else {
            CopySquare<2>(out + place, from + x * 3, stride, 2);
          }
        } else {
          CopySquare<kSize>(out + place, from + x * 3, stride, size);
        }
      } else if (place == kClipped) {
        CopyBlockClipped(view, view.from, static_cast<int>(x), y,
                         static_cast<int>(x) + across[sideways[column]], y + up[upward[column]],
                         size, size);
      }
    }
  }
  copyDownTo(0);
}

}  // namespace lumafolio::transitions
