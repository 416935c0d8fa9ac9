#include "core/effects/drawing/ShatterPieces.h"
#include "core/effects/transitions/TransitionRoutines.h"

namespace lumafolio::transitions {
// The old picture bursts into 2 x 2 pieces that fly up and sideways off the new one.
int Shatter(int command, const EffectParams& params, EffectState& state) {
  return state.Get<ShatterPieces>().Run(command, params, 2);
}

}  // namespace lumafolio::transitions
