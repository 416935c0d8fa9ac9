#include "core/effects/drawing/JitterTiles.h"
#include "core/effects/drawing/StageView.h"
#include "core/effects/drawing/TilePieces.h"
#include "core/effects/transitions/TransitionRoutines.h"

namespace lumafolio::transitions {

// On black, the old picture's shaking tiles shrink into the centre while the new picture's grow
// out of it; between 10 and 90 percent both are on the stage, the new one on top.
int Swap(int command, const EffectParams& params, EffectState& state) {
  if (command != kEffectStep) return 0;
  const StageView view(params);
  const int q = Percent(params);
  if (q == 0) {
    view.CopyFrom();
    return 0;
  }
  if (q >= 100) {
    view.CopyTo();
    return 0;
  }
  // The first picture drawn clears the stage to black band by band just ahead of its tiles.
  const int size = TileSizeFor(params.variant, view.width, view.height);
  Backdrop backdrop = Backdrop::kBlack;
  if (q <= 90) {
    DrawJitteredTiles(view, view.from, size, 90 - q, 90, state, backdrop);
    backdrop = Backdrop::kKeep;
  }
  if (q > 9) DrawJitteredTiles(view, view.to, size, q - 10, 90, state, backdrop);
  return 0;
}

}  // namespace lumafolio::transitions
