#include "player/show/TransitionDriver.h"

#include <vector>

#include "core/captions/CaptionFrame.h"
#include "player/captions/CaptionGdi.h"
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

std::vector<AnimatedCaption> TransitionDriver::LayOutCaptions(const FilmItem& item) const {
  const StageGeometry stage = stage_.Geometry();
  return lumafolio::LayOutCaptions(
      item,
      [](const Caption& caption, std::span<CaptionGlyph> glyphs, CaptionExtent* block) {
        return LayoutCaption(caption, glyphs, block);  // with the screen's measures
      },
      [&stage](const Caption& caption) { return stage.PlaceCaption(caption); });
}

void TransitionDriver::DrawSettled(HDC dc, const std::vector<AnimatedCaption>& captions) {
  stage_.RestoreStage();
  GdiCaptionCanvas canvas(stage_.StageDc());
  for (const AnimatedCaption& animated : captions) {
    CaptionFrameInput in;
    in.left = animated.caption.left;
    in.top = animated.caption.top;
    in.glyphs = animated.Glyphs();
    canvas.Draw(animated.caption, in.glyphs, PlanSettled(in));
  }
  stage_.Present(dc);
}

void TransitionDriver::SettleCaptions(HDC dc, const SlideImage* current, const FilmItem& item) {
  if (current == nullptr) return;
  const std::vector<AnimatedCaption> captions = LayOutCaptions(item);
  stage_.CaptureStage(dc, *current);
  DrawSettled(dc, captions);
}

int TransitionDriver::AnimateCaptions(HDC dc, const SlideImage* current, const FilmItem& item) {
  if (current == nullptr) return 0;
  const std::vector<AnimatedCaption> captions = LayOutCaptions(item);
  for (const AnimatedCaption& animated : captions) stage_.BeginCaption(animated.effect);
  stage_.CaptureStage(dc, *current);

  bool complete = true;
  pacer_.Start();
  for (int frame = 0; frame <= kCaptionFrames; ++frame) {
    if (frame > 0 && !WaitForFrame(frame)) {
      complete = false;
      break;
    }
    stage_.RestoreStage();
    for (const AnimatedCaption& animated : captions) {
      stage_.StepCaption(animated.effect, animated.glyphs.data(), animated.glyphCount,
                         &animated.caption, frame, kCaptionFrames);
    }
    stage_.Present(dc);
    if (keys_.CutShort()) {
      complete = false;
      break;
    }
  }
  for (const AnimatedCaption& animated : captions) stage_.EndCaption(animated.effect);
  // Cut short, the stage memory holds a frame in the middle of the animation, which a repaint
  // or the next transition would show: the captions go to their final places instead.
  if (!complete) DrawSettled(dc, captions);
  return complete ? 1 : 0;
}

}  // namespace lumafolio
