#include "core/effects/drawing/ShatterPieces.h"
#include "core/effects/transitions/TransitionRoutines.h"

namespace lumafolio::transitions {
// As Shatter, with tiles of `variant` pixels (4, 8 or 20).
int ShatterTiles(int command, const EffectParams& params, EffectState& state) {
  return state.Get<ShatterPieces>().Run(command, params, params.variant);
}

}  // namespace lumafolio::transitions
