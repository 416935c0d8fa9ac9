#include "stage/transitions/StageView.h"
#include "stage/transitions/TransitionRoutines.h"

namespace lumafolio::transitions {

// Not drawn yet: shows the new picture.
int Implode(int command, const EffectParams& params) {
  if (command != kEffectStep) return 0;
  StageView(params).CopyTo();
  return 0;
}

}  // namespace lumafolio::transitions
