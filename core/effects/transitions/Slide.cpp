#include "core/effects/drawing/StageView.h"
#include "core/effects/drawing/StripLayout.h"
#include "core/effects/transitions/TransitionRoutines.h"

namespace lumafolio::transitions {

// B slides over a still A, slowly at first: the covered part grows with the cube of the
// progress.
int Slide(int command, const EffectParams& params, EffectState& /*state*/) {
  if (command != kEffectStep) return 0;
  const double p = Progress(params);
  DrawStrips(params, StripMotion{.fromMoves = false, .toMoves = true}, p * p * p);
  return 0;
}

}  // namespace lumafolio::transitions
