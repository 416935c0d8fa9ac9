#include "stage/transitions/PageCurl.h"
#include "stage/transitions/StageView.h"
#include "stage/transitions/TransitionRoutines.h"

namespace lumafolio::transitions {
namespace {

PageCurl curl;

}  // namespace

// The four quarters of the picture are rolled up at once on shaded cylinders, each from the
// centre towards its own outer corner.
int CurlSoftQuad(int command, const EffectParams& params) {
  if (command == kEffectBegin) {
    curl.Begin();
  } else if (command == kEffectEnd) {
    curl.End();
  } else if (command == kEffectStep) {
    const StageView view(params);
    const double p = Progress(params);
    const int midX = view.width / 2;
    const int midY = view.height / 2;  // rows below midY are the bottom quarters on screen
    curl.DrawRect(view, CurlRect{0, 0, midX, midY}, CurlMotion{-3, -4, 30}, true, p);
    curl.DrawRect(view, CurlRect{0, midY, midX, view.height}, CurlMotion{-3, 4, 30}, true, p);
    curl.DrawRect(view, CurlRect{midX, 0, view.width, midY}, CurlMotion{3, -4, 30}, true, p);
    curl.DrawRect(view, CurlRect{midX, midY, view.width, view.height}, CurlMotion{3, 4, 30}, true,
                  p);
  }
  return 0;
}

}  // namespace lumafolio::transitions
