#include "core/effects/drawing/PageCurl.h"
#include "core/effects/drawing/StageView.h"
#include "core/effects/transitions/TransitionRoutines.h"

namespace lumafolio::transitions {
namespace {

// The rolls taken in turn, one per transition: (dx, dy) with y upward, and the radius.
constexpr CurlMotion kMotions[] = {
    {2, 1, 30},  {-4, -3, 40}, {1, 3, 20}, {2, -1, 50}, {3, 5, 25},  {-7, -1, 30}, {1, 1, 40},
    {7, -1, 30}, {3, 1, 60},   {1, 1, 20}, {3, 5, 40},  {7, -1, 30}, {2, 6, 35},   {10, 1, 25},
};
}  // namespace

// The whole picture is rolled up on a shaded cylinder, a different roll each time.
int CurlSoft(int command, const EffectParams& params, EffectState& state) {
  return state.Get<ListedCurl>(kMotions, true).Run(command, params);
}

}  // namespace lumafolio::transitions
