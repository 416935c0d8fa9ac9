#pragma once

#include <cstdint>

#include "core/effects/EffectState.h"
#include "core/effects/drawing/StageView.h"

namespace lumafolio::transitions {

// Draws every size x size tile of `source` (a picture of the view's size, cut exactly into such
// tiles) into the output with its offset from the picture's centre scaled by numerator /
// denominator, shaken by a fresh random jitter of -size to size - 1 pixels per axis. The jitter
// is drawn x then y for each tile, tiles row by row from the bottom left, which is also the
// drawing order. A tile pushed below 0 is moved to 0; one reaching past the right or top edge is
// cut there.
//
// `backdrop` is what the output shows under the tiles: kKeep draws over whatever it holds;
// kBlack and kNewPicture first fill it with black or with the view's `to` picture, a band of
// rows at a time just ahead of the tiles that land there, so that the tiles find those rows
// still in the cache. `state` keeps the jitter's buffer between steps.
enum class Backdrop { kKeep, kBlack, kNewPicture };
void DrawJitteredTiles(const StageView& view, const std::uint8_t* source, int size, int numerator,
                       int denominator, EffectState& state, Backdrop backdrop = Backdrop::kKeep);

}  // namespace lumafolio::transitions
