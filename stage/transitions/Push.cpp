#include "stage/transitions/StageView.h"
#include "stage/transitions/StripLayout.h"
#include "stage/transitions/TransitionRoutines.h"

namespace lumafolio::transitions {

// B pushes A out of each strip at an even pace: both pictures move, unscaled.
int Push(int command, const EffectParams& params) {
  if (command != kEffectStep) return 0;
  DrawStrips(params, StripMotion{.fromMoves = true, .toMoves = true}, Progress(params));
  return 0;
}

}  // namespace lumafolio::transitions
