#include "core/effects/drawing/StageView.h"
#include "core/effects/drawing/StripLayout.h"
#include "core/effects/transitions/TransitionRoutines.h"

namespace lumafolio::transitions {

// B pushes A out of each strip at an even pace: both pictures move, unscaled.
int Push(int command, const EffectParams& params, EffectState& /*state*/) {
  if (command != kEffectStep) return 0;
  DrawStrips(params, StripMotion{.fromMoves = true, .toMoves = true}, Progress(params));
  return 0;
}

}  // namespace lumafolio::transitions
