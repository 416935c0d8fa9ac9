#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/show/FitRect.h"

namespace lumafolio {

// Rows of 24-bit BGR pixels, bottom-up, `stride` bytes apart: a stage picture's, or a bitmap's
// that someone else owns (the player's decoded DIBs and stage surfaces).
template <typename Byte>
struct PixelRows {
  int width = 0;
  int height = 0;
  std::size_t stride = 0;
  Byte* bits = nullptr;

  // The line `line` counted from the top.
  Byte* Line(int line) const { return bits + static_cast<std::size_t>(height - 1 - line) * stride; }
};
using PictureView = PixelRows<const std::uint8_t>;
using PictureSpan = PixelRows<std::uint8_t>;

// A picture in the stage's pixel layout: 24-bit BGR rows, bottom-up, each padded to four bytes.
struct StagePicture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> bits;

  StagePicture() = default;
  StagePicture(int w, int h);  // black

  std::size_t Stride() const { return (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3}; }
  // The line `line` counted from the top.
  std::uint8_t* Line(int line) {
    return bits.data() + static_cast<std::size_t>(height - 1 - line) * Stride();
  }
  const std::uint8_t* Line(int line) const {
    return bits.data() + static_cast<std::size_t>(height - 1 - line) * Stride();
  }
  PictureView View() const { return {width, height, Stride(), bits.data()}; }
  PictureSpan Span() { return {width, height, Stride(), bits.data()}; }
};

// Draws all of `picture` into `place` of `stage` (cut to the stage) with nearest samples, as
// the player's stretch puts a decoded picture on its stage: the same source pixel for the same
// destination pixel, so that a picture of the stage's own size is copied byte for byte.
void DrawNearest(const PictureView& picture, const Rect& place, const PictureSpan& stage);
inline void DrawNearest(const StagePicture& picture, const Rect& place, StagePicture& stage) {
  DrawNearest(picture.View(), place, stage.Span());
}

// The same with a filter that averages every source pixel a destination pixel covers (a
// triangle filter widened to the scale when shrinking, plain linear when enlarging): fine
// detail of a large photo shrinks without sparkle or moiré.
void DrawFiltered(const PictureView& picture, const Rect& place, const PictureSpan& stage);
inline void DrawFiltered(const StagePicture& picture, const Rect& place, StagePicture& stage) {
  DrawFiltered(picture.View(), place, stage.Span());
}

}  // namespace lumafolio
