#pragma once

#include "core/effects/EffectParams.h"
#include "core/effects/EffectState.h"

// The caption effect routines. Each draws, on a step, the whole caption as it stands at frame
// `frame` of `frameCount` onto the canvas, and does nothing on any other command; none keeps
// anything between calls.
namespace lumafolio::captions {

int Appear(int command, const CaptionEffectParams& params, EffectState& state);
int Wipe(int command, const CaptionEffectParams& params, EffectState& state);
int Slide(int command, const CaptionEffectParams& params, EffectState& state);
int Box(int command, const CaptionEffectParams& params, EffectState& state);
int Iris(int command, const CaptionEffectParams& params, EffectState& state);
int Sweep(int command, const CaptionEffectParams& params, EffectState& state);
int Scatter(int command, const CaptionEffectParams& params, EffectState& state);
int Whirl(int command, const CaptionEffectParams& params, EffectState& state);
int Cascade(int command, const CaptionEffectParams& params, EffectState& state);

}  // namespace lumafolio::captions
