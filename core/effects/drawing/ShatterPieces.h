#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/effects/EffectParams.h"
#include "core/effects/drawing/StageView.h"

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
  void Draw(const EffectParams& params);
  void MakeFlightTables(const StageView& view, std::int64_t g);
  template <int kSize>
  void DrawPieces(const StageView& view);

  int width_ = 0;
  int height_ = 0;
  int wantedSize_ = 0;
  int size_ = 0;
  // Per piece, row by row of pieces from the bottom left, so the last one sits at the top right:
  // the sideways factor X (0 to 2 W - 1) and the upward factor Y less its fixed part 5 H / 2.
  // Both come from 15-bit random numbers, so they fit 16 bits on any picture.
  std::vector<std::uint16_t> sideways_;
  std::vector<std::uint16_t> upward_;
  // Per row of pieces, its smallest and largest upward factor: a row whose slowest piece has
  // already left the picture is skipped whole, one whose fastest stays inside needs no clipping.
  std::vector<std::uint16_t> rowSlowest_;
  std::vector<std::uint16_t> rowFastest_;
  // Per step, the flight of every possible factor: X and Y take far fewer values than there are
  // pieces, so each piece looks its offsets up instead of multiplying. In pixels and lines, and
  // as byte offsets in the output.
  std::vector<int> across_;
  std::vector<std::ptrdiff_t> acrossBytes_;
  std::vector<int> up_;
  std::vector<std::ptrdiff_t> upBytes_;
  // Per step, for one row of pieces: where each lands in the output (see DrawPieces).
  std::vector<std::ptrdiff_t> places_;
};

}  // namespace lumafolio::transitions
