#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/effects/EffectParams.h"

namespace lumafolio::transitions {

// Bytes per stored row of a 24-bit picture: three per pixel, padded to four (2400 for the
// 800-pixel stage).
inline std::size_t RowStride(int width) {
  return (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
}

// A length in pixels chosen for the classic 800 x 600 stage (a roll's radius, a tile's side),
// grown with a larger stage by min(W / 800, H / 600), truncated, so that the effect looks on a
// screen-sized stage as it does on the classic one. The classic stage and anything smaller
// keep the length as it is.
inline int StageScaled(int pixels, int width, int height) {
  const std::int64_t reach = std::min(std::int64_t{width} * 3, std::int64_t{height} * 4);
  if (reach <= 2400) return pixels;
  // Lengths past any picture's side make no difference; the bound keeps the product in range.
  const std::int64_t length =
      std::clamp(std::int64_t{pixels}, std::int64_t{0}, std::int64_t{1} << 24);
  return static_cast<int>(std::min<std::int64_t>(length * reach / 2400, std::int64_t{1} << 30));
}

// The three pictures of a step as rows. Rows are stored bottom-up: row 0 is the bottom line on
// screen, so the line `t` counted from the top is row height - 1 - t.
struct StageView {
  explicit StageView(const EffectParams& params)
      : from(params.fromBits),
        to(params.toBits),
        out(params.outBits),
        width(params.width),
        height(params.height),
        stride(RowStride(params.width)) {}

  const std::uint8_t* FromRow(int row) const {
    return from + static_cast<std::size_t>(row) * stride;
  }
  const std::uint8_t* ToRow(int row) const { return to + static_cast<std::size_t>(row) * stride; }
  std::uint8_t* OutRow(int row) const { return out + static_cast<std::size_t>(row) * stride; }
  std::size_t RowBytes() const { return static_cast<std::size_t>(width) * 3; }
  std::size_t PictureBytes() const { return stride * static_cast<std::size_t>(height); }

  void CopyFrom() const { std::memcpy(out, from, PictureBytes()); }
  void CopyTo() const { std::memcpy(out, to, PictureBytes()); }
  void ClearToBlack() const { std::memset(out, 0, PictureBytes()); }

  const std::uint8_t* from;
  const std::uint8_t* to;
  std::uint8_t* out;
  int width;
  int height;
  std::size_t stride;
};

// Progress of a step: p = step / lastStep as a double, and q in whole percent. The library
// never hands a routine lastStep <= 0.
inline double Progress(const EffectParams& params) {
  return static_cast<double>(params.step) / params.lastStep;
}
inline int Percent(const EffectParams& params) { return params.step * 100 / params.lastStep; }

// Many effects show A at 0 percent and B at 100 whatever they draw in between. Draws that end
// point and returns true, or returns false for a step in between.
inline bool DrawEndPoint(const StageView& view, int percent) {
  if (percent <= 0) {
    view.CopyFrom();
    return true;
  }
  if (percent >= 100) {
    view.CopyTo();
    return true;
  }
  return false;
}

}  // namespace lumafolio::transitions
