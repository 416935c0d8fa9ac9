#pragma once

#include <cstdint>
#include <vector>

#include "stage/EffectParams.h"
#include "stage/transitions/StageView.h"

namespace lumafolio::transitions {

// The working state of a shatter: the picture cut into square pieces, each with its own random
// flight (a sideways and an upward factor), drawn at begin from a generator reseeded from the
// clock. `Shatter` and `ShatterTiles` differ only in the piece size they ask for.
class ShatterPieces {
 public:
  // Runs one command of the transition with pieces of (at most) `wantedSize` pixels.
  int Run(int command, const EffectParams& params, int wantedSize);

 private:
  void Build(int width, int height, int wantedSize);
  void Free();
  void Draw(const EffectParams& params) const;
  template <int kSize>
  void DrawPieces(const StageView& view, std::int64_t g) const;

  int width_ = 0;
  int height_ = 0;
  int wantedSize_ = 0;
  int size_ = 0;
  // X and Y of piece i at 2 i and 2 i + 1; pieces run left to right along the bottom row of
  // pieces first, so the last one sits at the top right.
  std::vector<std::int32_t> flights_;
};

}  // namespace lumafolio::transitions
