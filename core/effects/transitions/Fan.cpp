#include <vector>

#include "core/effects/drawing/SectorSpans.h"
#include "core/effects/drawing/StageView.h"
#include "core/effects/transitions/TransitionRoutines.h"

namespace lumafolio::transitions {

// The new picture opens as n fan blades at once. Blade k starts at k * 360 / n degrees
// counter-clockwise from three o'clock and widens counter-clockwise with the progress.
int Fan(int command, const EffectParams& params, EffectState& /*state*/) {
  if (command != kEffectStep) return 0;
  const StageView view(params);
  const int percent = Percent(params);
  if (percent <= 0) return 0;  // nothing opened yet: the frame is left as it was
  if (percent >= 100) {
    view.CopyTo();
    return 0;
  }
  // The table asks for 12 blades; a count outside 1..360 would divide by zero or give blades
  // of no width, so it falls back to that.
  const int blades = params.variant >= 1 && params.variant <= 360 ? params.variant : 12;
  const int opening = percent * 360 / (blades * 100);

  // Counter-clockwise from three o'clock is clockwise from twelve backwards: the blade from a to
  // b counter-clockwise is the sector from 90 - b clockwise through b - a degrees.
  const std::size_t capacity = static_cast<std::size_t>(blades) * 4;
  std::vector<sectors::Ray> from(capacity);
  std::vector<sectors::Ray> to(capacity);
  int wedges = 0;
  for (int k = 0; k < blades && opening > 0; ++k) {
    const int start = k * 360 / blades;
    wedges = sectors::AddClockwiseSector(90 - (start + opening), opening, from.data(), to.data(),
                                         wedges);
  }

  std::vector<sectors::Span> spans(static_cast<std::size_t>(wedges));
  const double cx = view.width / 2.0;
  const double cy = view.height / 2.0;
  for (int row = 0; row < view.height; ++row) {
    const double dy = row + 0.5 - cy;  // rows count upward from the bottom line
    for (int i = 0; i < wedges; ++i) {
      spans[static_cast<std::size_t>(i)] = sectors::WedgeRow(
          from[static_cast<std::size_t>(i)], to[static_cast<std::size_t>(i)], dy, cx, view.width);
    }
    sectors::ComposeRow(view.OutRow(row), view.FromRow(row), view.ToRow(row), view.width,
                        spans.data(), wedges);
  }
  return 0;
}

}  // namespace lumafolio::transitions
