#include <iterator>

#include "stage/transitions/PageCurl.h"
#include "stage/transitions/StageView.h"
#include "stage/transitions/TransitionRoutines.h"

namespace lumafolio::transitions {
namespace {

// The rolls taken in turn, one per transition: (dx, dy) with y upward, and the radius.
constexpr CurlMotion kMotions[] = {
    {2, 1, 50},  {-4, 3, 175}, {5, -3, 200}, {-2, 1, 50}, {1, 1, 75},   {2, -1, 100}, {-3, 1, 175},
    {7, -1, 75}, {3, 1, 125},  {-5, 1, 75},  {2, 1, 100}, {-2, 1, 100}, {10, 1, 200},
};
constexpr int kMotionCount = static_cast<int>(std::size(kMotions));

// Which roll comes next. It lives as long as the program: every transition that ends moves it on,
// so consecutive curls differ.
int motionIndex = 0;

PageCurl curl;

}  // namespace

// The whole picture is rolled up from one corner, a different roll each time.
int Curl(int command, const EffectParams& params) {
  if (command == kEffectBegin) {
    curl.Begin();
  } else if (command == kEffectEnd) {
    curl.End();
    motionIndex = (motionIndex + 1) % kMotionCount;
  } else if (command == kEffectStep) {
    const StageView view(params);
    curl.DrawRect(view, CurlRect{0, 0, view.width, view.height}, kMotions[motionIndex], false,
                  Progress(params));
  }
  return 0;
}

}  // namespace lumafolio::transitions
