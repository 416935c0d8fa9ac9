#include "core/effects/drawing/DrumRoll.h"
#include "core/effects/transitions/TransitionRoutines.h"

namespace lumafolio::transitions {

// The drum roll turning over the top edge.
int RollVertical(int command, const EffectParams& params, EffectState& state) {
  if (command == kEffectStep) DrawDrumRoll(params, true, state);
  return 0;
}

}  // namespace lumafolio::transitions
