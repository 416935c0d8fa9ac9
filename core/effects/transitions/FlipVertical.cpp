#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/effects/drawing/PanelSampling.h"
#include "core/effects/drawing/StageView.h"
#include "core/effects/transitions/TransitionRoutines.h"

namespace lumafolio::transitions {

// A card turning about the vertical centre line on black: the old picture narrows to an edge,
// then the new one opens from it. The card's outer edges lie further away than its axis, so its
// columns grow shorter towards them (viewing distance five picture widths).
int FlipVertical(int command, const EffectParams& params, EffectState& state) {
  // The card's columns, rebuilt every step.
  panels::ColumnPanel& card = state.Get<panels::ColumnPanel>();
  if (command == kEffectEnd) {
    card.Release();
    return 0;
  }
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
  const double halfWidth = w / 2.0 * turn.across;
  const double viewer = 5.0 * w;
  const double farScale = viewer / (viewer + w / 2.0 * turn.depth);
  const std::uint8_t* face = turn.opening ? view.to : view.from;

  const double centre = w / 2.0;
  const double left = centre - halfWidth;
  const double right = centre + halfWidth;
  const panels::PixelRange cardColumns = panels::CentresWithin(left, right, w);
  const panels::Sampling sourceColumns = panels::SampleEvenly(left, right, cardColumns.first, w);
  card.Reset(w, h, view.stride);
  for (int x = cardColumns.first; x < cardColumns.end; ++x) {
    // The column's height falls linearly from the axis to the far edges.
    const double fromAxis = halfWidth > 0.0 ? std::fabs(x + 0.5 - centre) / halfWidth : 0.0;
    const double height = h * (1.0 - (1.0 - farScale) * std::fmin(fromAxis, 1.0));
    const double top = (h - height) / 2;
    const int sourceColumn = panels::SourceIndex(sourceColumns, x - cardColumns.first, w);
    card.SetColumn(x, top, top + height, sourceColumn);
  }

  // Lines are drawn in pairs, which share the card's arithmetic per column.
  panels::PixelRange nextRun{cardColumns.end, cardColumns.end};
  for (int line = 0; line < h; line += 2) {
    std::uint8_t* out = view.OutRow(h - 1 - line);
    const panels::PixelRange run =
        card.CoveredRunNear(cardColumns.first, cardColumns.end, line, nextRun);
    panels::FillAround(out, nullptr, w, &run, 1);  // black around the card
    if (line + 1 == h) {
      card.DrawRun(out, face, run, line);
      break;
    }
    std::uint8_t* nextOut = view.OutRow(h - 2 - line);
    nextRun = card.CoveredRunNear(cardColumns.first, cardColumns.end, line + 1, run);
    panels::FillAround(nextOut, nullptr, w, &nextRun, 1);
    card.DrawRunPair(out, nextOut, face, run, nextRun, line);
  }
  return 0;
}

}  // namespace lumafolio::transitions
