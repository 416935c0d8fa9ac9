#pragma once

#include "core/effects/EffectParams.h"

// The transition routines, one family per file. Each takes a command (begin, step, end) and the
// parameter block, draws step / lastStep of its transition into outBits on a step, and returns 0.
// Routines with working state build it at begin and free it at end.
namespace lumafolio::transitions {

int Push(int command, const EffectParams& params);
int Slide(int command, const EffectParams& params);
int Wipe(int command, const EffectParams& params);
int Burn(int command, const EffectParams& params);
int CurlQuad(int command, const EffectParams& params);
int CurlSoftQuad(int command, const EffectParams& params);
int Clock(int command, const EffectParams& params);
int Shatter(int command, const EffectParams& params);
int ShatterTiles(int command, const EffectParams& params);
int Flash(int command, const EffectParams& params);
int Blocks(int command, const EffectParams& params);
int Doors(int command, const EffectParams& params);
int Stretch(int command, const EffectParams& params);
int Fade(int command, const EffectParams& params);
int Cut(int command, const EffectParams& params);
int Curl(int command, const EffectParams& params);
int Fold(int command, const EffectParams& params);
int CurlSoft(int command, const EffectParams& params);
int Fan(int command, const EffectParams& params);
int Scatter(int command, const EffectParams& params);
int Blinds(int command, const EffectParams& params);
int FlipVertical(int command, const EffectParams& params);
int FlipHorizontal(int command, const EffectParams& params);
int Flap(int command, const EffectParams& params);
int Swing(int command, const EffectParams& params);
int Implode(int command, const EffectParams& params);
int Swap(int command, const EffectParams& params);
int RollHorizontal(int command, const EffectParams& params);
int RollVertical(int command, const EffectParams& params);
int Drip(int command, const EffectParams& params);

}  // namespace lumafolio::transitions
