#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/effects/EffectRandom.h"
#include "core/effects/drawing/StageView.h"

// Small pieces shared by the families that cut the pictures into tiles and move them about
// (shatter, scatter, implode, swap).
namespace lumafolio::transitions {

// The wanted tile size, grown with a stage larger than the classic one (StageScaled), then
// lowered until it divides both sides, so that the tiles cover the picture exactly. Awkward
// sizes (a prime side) end at 1.
inline int TileSizeFor(int wanted, int width, int height) {
  // No size above the shorter side divides it: start there at the most.
  int size =
      std::clamp(StageScaled(wanted, width, height), 1, std::max(1, std::min(width, height)));
  while (size > 1 && (width % size != 0 || height % size != 0)) --size;
  return size;
}

// rand() mod range for a range that may be empty on tiny pictures: an empty range gives 0 and
// draws nothing, where the plain modulo would divide by zero.
inline int RandBelow(int range) { return range > 0 ? EffectRand() % range : 0; }

// Copies `bytes` bytes. Pieces are mostly a few pixels wide (6 to 60 bytes a line), where a
// call to memcpy costs more than the copy: short spans move as two overlapping words instead.
inline void CopySpan(std::uint8_t* to, const std::uint8_t* from, std::size_t bytes) {
  if (bytes >= 64) {
    std::memcpy(to, from, bytes);
  } else if (bytes >= 8) {
    for (std::size_t i = 0; i + 8 < bytes; i += 8) std::memcpy(to + i, from + i, 8);
    std::memcpy(to + bytes - 8, from + bytes - 8, 8);
  } else if (bytes >= 4) {
    std::memcpy(to, from, 4);
    std::memcpy(to + bytes - 4, from + bytes - 4, 4);
  } else if (bytes == 3) {  // one pixel
    std::memcpy(to, from, 2);
    to[2] = from[2];
  } else {
    for (std::size_t i = 0; i < bytes; ++i) to[i] = from[i];
  }
}

// Copies the block of w x h pixels whose bottom left pixel is (x, row) in `source` (a picture of
// the view's size, the block lying inside it) to (toX, toRow) in the output, dropping whatever
// falls outside the output picture.
inline void CopyBlockClipped(const StageView& view, const std::uint8_t* source, int x, int row,
                             int toX, int toRow, int w, int h) {
  if (toX < 0) {
    x -= toX;
    w += toX;
    toX = 0;
  }
  if (toRow < 0) {
    row -= toRow;
    h += toRow;
    toRow = 0;
  }
  if (toX + w > view.width) w = view.width - toX;
  if (toRow + h > view.height) h = view.height - toRow;
  if (w <= 0 || h <= 0) return;
  const std::size_t bytes = static_cast<std::size_t>(w) * 3;
  const std::uint8_t* from =
      source + static_cast<std::size_t>(row) * view.stride + static_cast<std::size_t>(x) * 3;
  std::uint8_t* to =
      view.out + static_cast<std::size_t>(toRow) * view.stride + static_cast<std::size_t>(toX) * 3;
  for (int line = 0; line < h; ++line) {
    CopySpan(to, from, bytes);
    from += view.stride;
    to += view.stride;
  }
}

// Copies a block of `size` x `size` pixels that lies wholly inside the picture, `from` and `to`
// pointing at its bottom left pixel. With the size known at compile time (kSize > 0) each line
// is a fixed-length copy that compiles to a few moves; kSize = 0 takes `size` at run time.
template <int kSize>
inline void CopySquare(std::uint8_t* to, const std::uint8_t* from, std::size_t stride, int size) {
  if constexpr (kSize > 0) {
    for (int line = 0; line < kSize; ++line, to += stride, from += stride) {
      std::memcpy(to, from, kSize * 3);
    }
  } else {
    const std::size_t bytes = static_cast<std::size_t>(size) * 3;
    for (int line = 0; line < size; ++line, to += stride, from += stride) {
      CopySpan(to, from, bytes);
    }
  }
}

// Calls draw.template operator()<kSize>() with kSize = size for the sizes the tile families use
// (the wanted sizes and what they are lowered to on common stages, and on full-HD and 4K stages
// the small ones grown: 3, 6, 12), else with kSize = 0.
template <typename Draw>
inline void WithSquareSize(int size, Draw&& draw) {
  switch (size) {
    case 1:
      draw.template operator()<1>();
      break;
    case 2:
      draw.template operator()<2>();
      break;
    case 3:
      draw.template operator()<3>();
      break;
    case 6:
      draw.template operator()<6>();
      break;
    case 12:
      draw.template operator()<12>();
      break;
    case 4:
      draw.template operator()<4>();
      break;
    case 8:
      draw.template operator()<8>();
      break;
    case 20:
      draw.template operator()<20>();
      break;
    default:
      draw.template operator()<0>();
      break;
  }
}

}  // namespace lumafolio::transitions
