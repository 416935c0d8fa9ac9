#pragma once

#include <windows.h>

#include <array>
#include <vector>

#include "core/captions/AnimatedCaptions.h"
#include "core/film/FilmDocument.h"
#include "player/show/FramePacer.h"
#include "player/show/KeyLatches.h"
#include "player/stage/StageSurface.h"

namespace lumafolio {

class SlideImage;

// The two drivers of a show step: the transition from the picture on screen to the next one,
// and the caption animation over the new picture. Frames are paced at the display's refresh
// rate; the keys of KeyLatches cut either short at once.
class TransitionDriver {
 public:
  TransitionDriver(StageSurface& stage, KeyLatches& keys, FramePacer& pacer)
      : stage_(stage), keys_(keys), pacer_(pacer) {}

  // Runs `effect` over `lastStep` + 1 frames from the outgoing item (of type `outgoingType`,
  // whose picture is `current`) to `next`. 1 when it ran to its end, 0 when there was no next
  // picture or a key cut it short.
  int RunTransition(HDC dc, const SlideImage* current, const SlideImage* next, int effect,
                    int lastStep, int outgoingType);

  // Runs the 33 caption frames of `item` over its picture `current`, which also puts the new
  // picture into the stage memory that repaints show. 1 when all frames ran; when a key cut it
  // short the captions are left at their final places.
  int AnimateCaptions(HDC dc, const SlideImage* current, const FilmItem& item);

  // Puts `current` with the captions of `item` at their final places into the stage memory and
  // on screen: the item's picture after a transition cut short, which runs no animation.
  void SettleCaptions(HDC dc, const SlideImage* current, const FilmItem& item);

  static constexpr int kCaptionFrames = 32;  // frames 0..32

 private:
  bool WaitForFrame(int frame);
  std::vector<AnimatedCaption> LayOutCaptions(const FilmItem& item) const;
  void DrawSettled(HDC dc, const std::vector<AnimatedCaption>& captions);

  StageSurface& stage_;
  KeyLatches& keys_;
  FramePacer& pacer_;
};

}  // namespace lumafolio
