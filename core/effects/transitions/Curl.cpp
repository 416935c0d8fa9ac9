#include "core/effects/drawing/PageCurl.h"
#include "core/effects/drawing/StageView.h"
#include "core/effects/transitions/TransitionRoutines.h"

namespace lumafolio::transitions {
namespace {

// The rolls taken in turn, one per transition: (dx, dy) with y upward, and the radius.
constexpr CurlMotion kMotions[] = {
    {2, 1, 50},  {-4, 3, 175}, {5, -3, 200}, {-2, 1, 50}, {1, 1, 75},   {2, -1, 100}, {-3, 1, 175},
    {7, -1, 75}, {3, 1, 125},  {-5, 1, 75},  {2, 1, 100}, {-2, 1, 100}, {10, 1, 200},
};
}  // namespace

// The whole picture is rolled up from one corner, a different roll each time.
int Curl(int command, const EffectParams& params, EffectState& state) {
  return state.Get<ListedCurl>(kMotions, false).Run(command, params);
}

}  // namespace lumafolio::transitions
