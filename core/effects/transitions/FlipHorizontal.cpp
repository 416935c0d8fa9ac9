#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/effects/drawing/PanelSampling.h"
#include "core/effects/drawing/StageView.h"
#include "core/effects/transitions/TransitionRoutines.h"

namespace lumafolio::transitions {

// A card turning about the horizontal centre line on black: the old picture flattens to an
// edge, then the new one opens from it. The card's top and bottom edges lie further away than
// its axis, so its lines grow narrower towards them (viewing distance two and a half picture
// widths).
int FlipHorizontal(int command, const EffectParams& params, EffectState& /*state*/) {
  if (command != kEffectStep) return 0;
  const StageView view(params);
  const double p = Progress(params);
  if (p >= 1.0) {
    view.CopyTo();
    return 0;
  }
  const int w = view.width;
  const int h = view.height;
  const panels::CardTurn turn = panels::CardTurnAt(p);
  const double halfHeight = h / 2.0 * turn.across;
  const double viewer = 2.5 * w;
  const double farScale = viewer / (viewer + h / 2.0 * turn.depth);
  const std::uint8_t* card = turn.opening ? view.to : view.from;

  const double centre = h / 2.0;
  const double top = centre - halfHeight;
  const double bottom = centre + halfHeight;
  const panels::PixelRange cardLines = panels::CentresWithin(top, bottom, h);
  const panels::Sampling sourceLines = panels::SampleEvenly(top, bottom, cardLines.first, h);
  for (int line = 0; line < h; ++line) {
    std::uint8_t* out = view.OutRow(h - 1 - line);
    if (line < cardLines.first || line >= cardLines.end) {
      std::memset(out, 0, view.RowBytes());
      continue;
    }
    // The line's width falls linearly from the axis to the far edges.
    const double fromAxis = halfHeight > 0.0 ? std::fabs(line + 0.5 - centre) / halfHeight : 0.0;
    const double width = w * (1.0 - (1.0 - farScale) * std::fmin(fromAxis, 1.0));
    const double left = (w - width) / 2;
    const int sourceLine = panels::SourceIndex(sourceLines, line - cardLines.first, h);
    const panels::PixelRange pixels = panels::CentresWithin(left, left + width, w);
    const panels::Sampling columns = panels::SampleEvenly(left, left + width, pixels.first, w);
    panels::FillAround(out, nullptr, w, &pixels, 1);  // black beside the card
    panels::StretchRow(out + pixels.first * 3,
                       card + static_cast<std::size_t>(h - 1 - sourceLine) * view.stride,
                       pixels.end - pixels.first, columns, w);
  }
  return 0;
}

}  // namespace lumafolio::transitions
