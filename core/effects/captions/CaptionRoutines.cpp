#include "core/effects/captions/CaptionRoutines.h"

#include <algorithm>

#include "core/captions/CaptionCanvas.h"
#include "core/captions/CaptionFrame.h"
#include "core/film/FilmDocument.h"

namespace lumafolio::captions {
namespace {

using Planner = CaptionFrame (*)(const CaptionFrameInput&);

CaptionFrameInput FrameInput(const CaptionEffectParams& params) {
  const Caption& caption = *params.caption;
  const int count = std::clamp(params.glyphCount, 0, kMaxCaptionGlyphs);
  CaptionFrameInput in;
  in.left = caption.left;
  in.top = caption.top;
  in.width = caption.textWidth;
  in.height = caption.textHeight;
  in.glyphs = {params.glyphs, params.glyphs == nullptr ? 0u : static_cast<std::size_t>(count)};
  in.stageWidth = params.width;
  in.stageHeight = params.height;
  in.frame = params.frame;
  in.frameCount = params.frameCount;
  in.direction = params.direction;
  in.variant = params.variant;
  return in;
}

int Step(int command, const CaptionEffectParams& params, Planner plan) {
  if (command != kEffectStep || params.canvas == nullptr || params.caption == nullptr) return 0;
  const CaptionFrameInput in = FrameInput(params);
  params.canvas->Draw(*params.caption, in.glyphs, plan(in));
  return 0;
}

}  // namespace

int Appear(int command, const CaptionEffectParams& params, EffectState&) {
  return Step(command, params, PlanAppear);
}
int Wipe(int command, const CaptionEffectParams& params, EffectState&) {
  return Step(command, params, PlanWipe);
}
int Slide(int command, const CaptionEffectParams& params, EffectState&) {
  return Step(command, params, PlanSlide);
}
int Box(int command, const CaptionEffectParams& params, EffectState&) {
  return Step(command, params, PlanBox);
}
int Iris(int command, const CaptionEffectParams& params, EffectState&) {
  return Step(command, params, PlanIris);
}
int Sweep(int command, const CaptionEffectParams& params, EffectState&) {
  return Step(command, params, PlanSweep);
}
int Scatter(int command, const CaptionEffectParams& params, EffectState&) {
  return Step(command, params, PlanScatter);
}
int Whirl(int command, const CaptionEffectParams& params, EffectState&) {
  return Step(command, params, PlanWhirl);
}
int Cascade(int command, const CaptionEffectParams& params, EffectState&) {
  return Step(command, params, PlanCascade);
}

}  // namespace lumafolio::captions
