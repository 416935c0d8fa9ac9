#include "core/effects/drawing/DrumRoll.h"
#include "core/effects/transitions/TransitionRoutines.h"

namespace lumafolio::transitions {

// The old picture turns away over a drum from its right edge and the new one turns in after it.
int RollHorizontal(int command, const EffectParams& params, EffectState& state) {
  if (command == kEffectStep) DrawDrumRoll(params, false, state);
  return 0;
}

}  // namespace lumafolio::transitions
