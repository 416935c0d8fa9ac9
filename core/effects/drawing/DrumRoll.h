#pragma once

#include "core/effects/EffectParams.h"
#include "core/effects/EffectState.h"

namespace lumafolio::transitions {

// Draws one step of the drum roll: the old picture turns away over a drum and the new one turns
// in after it, on black. The horizontal roll works on columns (the drum's axis is vertical and
// the turn runs from the right edge to the left); the vertical one is the same with lines for
// columns, line 0 being the bottom one, so its turn runs from the top edge down. `state` keeps
// the working tables between steps.
void DrawDrumRoll(const EffectParams& params, bool vertical, EffectState& state);

}  // namespace lumafolio::transitions
