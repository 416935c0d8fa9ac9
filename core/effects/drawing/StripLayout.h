#pragma once

#include "core/effects/EffectEdges.h"
#include "core/effects/EffectParams.h"

namespace lumafolio::transitions {

// How the two pictures behave inside a strip while B takes it over. Push moves both, Slide
// moves only B over a still A, Wipe uncovers B in place.
struct StripMotion {
  bool fromMoves;  // A is pushed out ahead of B instead of staying where it is
  bool toMoves;    // B shows its leading edge at the front instead of its own lines in place
};

// Draws one step of the strip transitions. Directions top and bottom cut the picture into
// `variant` vertical strips of W / variant columns from the left (the last strip keeps the
// remaining columns), in which B takes over ⌊covered × H⌋ lines; directions right and left cut it
// into `variant` horizontal bands of H / variant lines from the bottom (the last band keeps the
// remaining lines), in which B takes over ⌊covered × W⌋ columns. Neighbouring strips run the
// opposite way. `covered` runs from 0 to 1.
void DrawStrips(const EffectParams& params, StripMotion motion, double covered);

}  // namespace lumafolio::transitions
