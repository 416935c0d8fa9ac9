#include "core/effects/drawing/StageView.h"
#include "core/effects/transitions/TransitionRoutines.h"

namespace lumafolio::transitions {

// A for the first half of the steps, B from the middle step on.
int Cut(int command, const EffectParams& params, EffectState& /*state*/) {
  if (command != kEffectStep) return 0;
  const StageView view(params);
  if (params.step < params.lastStep / 2) {
    view.CopyFrom();
  } else {
    view.CopyTo();
  }
  return 0;
}

}  // namespace lumafolio::transitions
