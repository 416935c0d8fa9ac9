#include "player/show/TransitionDriver.h"

#include <vector>

#include "player/media/SlideImage.h"

namespace lumafolio {

bool TransitionDriver::WaitForFrame(int frame) {
  return pacer_.WaitForFrame(frame, [this] { return keys_.CutShort(); });
}

int TransitionDriver::RunTransition(HDC dc, const SlideImage* current, const SlideImage* next,
                                    int effect, int lastStep, int outgoingType) {
  if (next == nullptr) return 0;  // a PowerPoint item comes next, or nothing was prepared
  const bool videoWithPicture = outgoingType == kItemVideo && current != nullptr;
  if (outgoingType == kItemPowerPoint || (outgoingType == kItemVideo && !videoWithPicture)) {
    // The stage was hidden by the viewer (or a video without an end picture): only the
    // finished transition is drawn.
    stage_.CaptureStage(dc, *next);
    stage_.BeginTransition(effect);
    stage_.StepTransition(effect, dc, lastStep, lastStep);
    stage_.EndTransition(effect);
    return 1;
  }
  if (videoWithPicture) {
    stage_.LoadPair(dc, *current, *next);
  } else if (outgoingType == kItemPicture) {
    stage_.CaptureStage(dc, *next);
  }  // any other type: A and B as they are

  stage_.BeginTransition(effect);
  pacer_.Start();
  for (int step = 0; step <= lastStep; ++step) {
    if (step > 0 && !WaitForFrame(step)) {
      stage_.EndTransition(effect);
      return 0;
    }
    stage_.StepTransition(effect, dc, step, lastStep);
    if (keys_.CutShort()) {
      stage_.EndTransition(effect);
      return 0;
    }
  }
  stage_.EndTransition(effect);
  return 1;
}

int TransitionDriver::AnimateCaptions(HDC dc, const SlideImage* current, const FilmItem& item) {
  if (current == nullptr) return 0;
  // Each caption keeps its own copy of the record and its effect for the whole animation. Only
  // ten fit the animation's working set; later ones are not animated.
  struct Animated {
    int effect;
    Caption caption;
  };
  std::vector<Animated> captions;
  for (const Caption& caption : item.captions) {
    if (static_cast<int>(captions.size()) == kMaxAnimatedCaptions) break;
    captions.push_back({caption.textEffect, caption});
  }
  for (const Animated& animated : captions) stage_.BeginCaption(animated.effect);
  stage_.CaptureStage(dc, *current);

  bool complete = true;
  pacer_.Start();
  for (int frame = 0; frame <= kCaptionFrames; ++frame) {
    if (frame > 0 && !WaitForFrame(frame)) {
      complete = false;
      break;
    }
    stage_.RestoreStage();
    for (const Animated& animated : captions) {
      stage_.StepCaption(animated.effect, nullptr, 0, &animated.caption, frame, kCaptionFrames);
    }
    stage_.Present(dc);
    if (keys_.CutShort()) {
      complete = false;
      break;
    }
  }
  for (const Animated& animated : captions) stage_.EndCaption(animated.effect);
  return complete ? 1 : 0;
}

}  // namespace lumafolio
