#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/effects/drawing/SectorSpans.h"
#include "core/effects/drawing/StageView.h"
#include "core/effects/transitions/TransitionRoutines.h"

namespace lumafolio::transitions {

namespace {

// Enough tongue slots for any phase: tongues sit W / 2 apart and one more can hang over each
// edge.
constexpr int kMaxTongues = 4;

}  // namespace

// The new picture rises from the bottom like a liquid. Its front climbs two percent of the
// height every two percent of progress; the band of H / 10 lines under the front is a row of
// rounded tongues of radius W / 4 that reach up to the front. Every two percent the tongues
// shift sideways by a third of their spacing (three patterns in turn, by q mod 6), so the front
// seems to ripple as it climbs.
int Drip(int command, const EffectParams& params, EffectState& /*state*/) {
  if (command != kEffectStep) return 0;
  const StageView view(params);
  const int q = Percent(params);
  if (DrawEndPoint(view, q)) return 0;
  const int w = view.width;
  const int h = view.height;
  // Lines counted upward from the bottom line.
  const int front = static_cast<int>(static_cast<std::int64_t>(h) * ((q + 1) / 2) / 50);
  const int band = h / 10;
  const int solid = front - band;  // lines below this one are all new picture

  const double radius = w / 4.0;
  const double spacing = 2.0 * radius;
  const int pattern = (q % 6) / 2;
  // The first tongue centre at or left of column 0, so that the tongues cover the whole width.
  const double offset = spacing * pattern / 3.0;
  const double firstCentre = offset > 0.0 ? offset - spacing : 0.0;

  for (int row = 0; row < h; ++row) {
    std::uint8_t* out = view.OutRow(row);
    if (row < solid) {
      std::memcpy(out, view.ToRow(row), view.RowBytes());
      continue;
    }
    if (row >= front || band <= 0) {
      std::memcpy(out, view.FromRow(row), view.RowBytes());
      continue;
    }
    // Each tongue is a half disc of the radius on a stem of the same width, its top touching
    // the front; a line `depth` below the front cuts it sqrt(depth (2 radius - depth)) either
    // side of its centre. On a landscape picture the band is shallower than the radius, so only
    // the rounded caps rise above the liquid's flat surface at the band's foot, with the old
    // picture between them.
    const double depth = front - (row + 0.5);
    const double halfWidth =
        depth >= radius ? radius : std::sqrt(std::max(0.0, depth * (2.0 * radius - depth)));
    sectors::Span spans[kMaxTongues];
    int count = 0;
    for (int k = 0; k < kMaxTongues; ++k) {
      const double centre = firstCentre + k * spacing;
      const double from = std::ceil(centre - halfWidth - 0.5);
      const double to = std::ceil(centre + halfWidth - 0.5);
      const int first = static_cast<int>(std::clamp(from, 0.0, static_cast<double>(w)));
      const int end = static_cast<int>(std::clamp(to, 0.0, static_cast<double>(w)));
      if (first < end) spans[count++] = sectors::Span{first, end};
    }
    sectors::ComposeRow(out, view.FromRow(row), view.ToRow(row), w, spans, count);
  }
  return 0;
}

}  // namespace lumafolio::transitions
