#pragma once

#include <cstdint>

#include "stage/transitions/StageView.h"

namespace lumafolio::transitions {

// Draws every size x size tile of `source` (a picture of the view's size, cut exactly into such
// tiles) into the output with its offset from the picture's centre scaled by numerator /
// denominator, shaken by a fresh random jitter of -size to size - 1 pixels per axis. The jitter
// is drawn x then y for each tile, tiles row by row from the bottom left, which is also the
// drawing order. A tile pushed below 0 is moved to 0; one reaching past the right or top edge is
// cut there.
void DrawJitteredTiles(const StageView& view, const std::uint8_t* source, int size, int numerator,
                       int denominator);

}  // namespace lumafolio::transitions
