#include "core/effects/drawing/StageView.h"
#include "core/effects/drawing/StripLayout.h"
#include "core/effects/transitions/TransitionRoutines.h"

namespace lumafolio::transitions {

// Neither picture moves: B is uncovered in place, the front advancing with the cube of the
// progress.
int Wipe(int command, const EffectParams& params, EffectState& /*state*/) {
  if (command != kEffectStep) return 0;
  const double p = Progress(params);
  DrawStrips(params, StripMotion{.fromMoves = false, .toMoves = false}, p * p * p);
  return 0;
}

}  // namespace lumafolio::transitions
