#include <iterator>

#include "stage/transitions/PageCurl.h"
#include "stage/transitions/StageView.h"
#include "stage/transitions/TransitionRoutines.h"

namespace lumafolio::transitions {
namespace {

// The rolls taken in turn, one per transition: (dx, dy) with y upward, and the radius.
constexpr CurlMotion kMotions[] = {
    {2, 1, 30},  {-4, -3, 40}, {1, 3, 20}, {2, -1, 50}, {3, 5, 25},  {-7, -1, 30}, {1, 1, 40},
    {7, -1, 30}, {3, 1, 60},   {1, 1, 20}, {3, 5, 40},  {7, -1, 30}, {2, 6, 35},   {10, 1, 25},
};
constexpr int kMotionCount = static_cast<int>(std::size(kMotions));

// Which roll comes next. It lives as long as the program: every transition that ends moves it on,
// so consecutive curls differ.
int motionIndex = 0;

PageCurl curl;

}  // namespace

// The whole picture is rolled up on a shaded cylinder, a different roll each time.
int CurlSoft(int command, const EffectParams& params) {
  if (command == kEffectBegin) {
    curl.Begin();
  } else if (command == kEffectEnd) {
    curl.End();
    motionIndex = (motionIndex + 1) % kMotionCount;
  } else if (command == kEffectStep) {
    const StageView view(params);
    curl.DrawRect(view, CurlRect{0, 0, view.width, view.height}, kMotions[motionIndex], true,
                  Progress(params));
  }
  return 0;
}

}  // namespace lumafolio::transitions
