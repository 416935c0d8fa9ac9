#pragma once

#include "core/effects/EffectEdges.h"
#include "core/effects/EffectParams.h"
#include "core/effects/EffectState.h"

// The transition routines, one family per file. Each takes a command (begin, step, end) and the
// parameter block, draws step / lastStep of its transition into outBits on a step, and returns 0.
// Routines with working state keep it in the record's state slot: they build it at begin and
// free it at end, and whatever must outlast an end (a curl's place in its list) stays in the slot
// for the library's lifetime.
namespace lumafolio::transitions {

int Push(int command, const EffectParams& params, EffectState& state);
int Slide(int command, const EffectParams& params, EffectState& state);
int Wipe(int command, const EffectParams& params, EffectState& state);
int Burn(int command, const EffectParams& params, EffectState& state);
int CurlQuad(int command, const EffectParams& params, EffectState& state);
int CurlSoftQuad(int command, const EffectParams& params, EffectState& state);
int Clock(int command, const EffectParams& params, EffectState& state);
int Shatter(int command, const EffectParams& params, EffectState& state);
int ShatterTiles(int command, const EffectParams& params, EffectState& state);
int Flash(int command, const EffectParams& params, EffectState& state);
int Blocks(int command, const EffectParams& params, EffectState& state);
int Doors(int command, const EffectParams& params, EffectState& state);
int Stretch(int command, const EffectParams& params, EffectState& state);
int Fade(int command, const EffectParams& params, EffectState& state);
int Cut(int command, const EffectParams& params, EffectState& state);
int Curl(int command, const EffectParams& params, EffectState& state);
int Fold(int command, const EffectParams& params, EffectState& state);
int CurlSoft(int command, const EffectParams& params, EffectState& state);
int Fan(int command, const EffectParams& params, EffectState& state);
int Scatter(int command, const EffectParams& params, EffectState& state);
int Blinds(int command, const EffectParams& params, EffectState& state);
int FlipVertical(int command, const EffectParams& params, EffectState& state);
int FlipHorizontal(int command, const EffectParams& params, EffectState& state);
int Flap(int command, const EffectParams& params, EffectState& state);
int Swing(int command, const EffectParams& params, EffectState& state);
int Implode(int command, const EffectParams& params, EffectState& state);
int Swap(int command, const EffectParams& params, EffectState& state);
int RollHorizontal(int command, const EffectParams& params, EffectState& state);
int RollVertical(int command, const EffectParams& params, EffectState& state);
int Drip(int command, const EffectParams& params, EffectState& state);

}  // namespace lumafolio::transitions
