#include "core/effects/drawing/PageCurl.h"
#include "core/effects/drawing/StageView.h"
#include "core/effects/transitions/TransitionRoutines.h"

namespace lumafolio::transitions {

// The four quarters of the picture are rolled up at once, each from the centre towards its own
// outer corner.
int CurlQuad(int command, const EffectParams& params, EffectState& state) {
  PageCurl& curl = state.Get<PageCurl>();
  if (command == kEffectBegin) {
    curl.Begin();
  } else if (command == kEffectEnd) {
    curl.End();
  } else if (command == kEffectStep) {
    curl.DrawQuarters(StageView(params), CurlMotion{4, 3, 100}, false, Progress(params));
  }
  return 0;
}

}  // namespace lumafolio::transitions
