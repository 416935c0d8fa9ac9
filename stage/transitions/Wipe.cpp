#include "stage/transitions/StageView.h"
#include "stage/transitions/StripLayout.h"
#include "stage/transitions/TransitionRoutines.h"

namespace lumafolio::transitions {

// Neither picture moves: B is uncovered in place, the front advancing with the cube of the
// progress.
int Wipe(int command, const EffectParams& params) {
  if (command != kEffectStep) return 0;
  const double p = Progress(params);
  DrawStrips(params, StripMotion{.fromMoves = false, .toMoves = false}, p * p * p);
  return 0;
}

}  // namespace lumafolio::transitions
