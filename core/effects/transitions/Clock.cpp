#include <cstdint>

#include "core/effects/drawing/SectorSpans.h"
#include "core/effects/drawing/StageView.h"
#include "core/effects/transitions/TransitionRoutines.h"

namespace lumafolio::transitions {

// A hand sweeping clockwise from twelve o'clock uncovers the new picture. The swept sector is
// drawn quarter by quarter: every whole quarter already passed, then the part of the current
// quarter up to the hand, each a wedge of at most 90 degrees that meets a row in one span.
int Clock(int command, const EffectParams& params, EffectState& /*state*/) {
  if (command != kEffectStep) return 0;
  const StageView view(params);
  const int degrees =
      static_cast<int>(static_cast<std::int64_t>(params.step) * 360 / params.lastStep);
  if (degrees <= 0) return 0;  // the hand has not moved: the frame is left as it was
  if (degrees >= 360) {
    view.CopyTo();
    return 0;
  }

  sectors::Ray from[4];
  sectors::Ray to[4];
  const int wedges = sectors::AddClockwiseSector(0, degrees, from, to, 0);

  const double cx = view.width / 2.0;
  const double cy = view.height / 2.0;
  for (int row = 0; row < view.height; ++row) {
    const double dy = row + 0.5 - cy;  // rows count upward from the bottom line
    sectors::Span spans[4];
    for (int i = 0; i < wedges; ++i) {
      spans[i] = sectors::WedgeRow(from[i], to[i], dy, cx, view.width);
    }
    sectors::ComposeRow(view.OutRow(row), view.FromRow(row), view.ToRow(row), view.width, spans,
                        wedges);
  }
  return 0;
}

}  // namespace lumafolio::transitions
