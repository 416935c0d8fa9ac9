#include "core/effects/drawing/JitterTiles.h"
#include "core/effects/drawing/StageView.h"
#include "core/effects/drawing/TilePieces.h"
#include "core/effects/transitions/TransitionRoutines.h"

namespace lumafolio::transitions {

// The old picture, cut into shaking tiles of `variant` pixels, shrinks toward the centre over
// the new one.
int Implode(int command, const EffectParams& params, EffectState& state) {
  if (command != kEffectStep) return 0;
  const StageView view(params);
  const int q = Percent(params);
  if (q == 0) {
    view.CopyFrom();
    return 0;
  }
  const int size = TileSizeFor(params.variant, view.width, view.height);
  DrawJitteredTiles(view, view.from, size, 100 - q, 100, state, Backdrop::kNewPicture);
  return 0;
}

}  // namespace lumafolio::transitions
