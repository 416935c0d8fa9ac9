#include "core/effects/drawing/PageCurl.h"
#include "core/effects/drawing/StageView.h"
#include "core/effects/transitions/TransitionRoutines.h"

namespace lumafolio::transitions {

// The four quarters of the picture are rolled up at once on shaded cylinders, each from the
// centre towards its own outer corner.
int CurlSoftQuad(int command, const EffectParams& params, EffectState& state) {
  PageCurl& curl = state.Get<PageCurl>();
  if (command == kEffectBegin) {
    curl.Begin();
  } else if (command == kEffectEnd) {
    curl.End();
  } else if (command == kEffectStep) {
    curl.DrawQuarters(StageView(params), CurlMotion{3, 4, 30}, true, Progress(params));
  }
  return 0;
}

}  // namespace lumafolio::transitions
