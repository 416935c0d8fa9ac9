#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/effects/drawing/PanelSampling.h"
#include "core/effects/drawing/StageView.h"
#include "core/effects/transitions/TransitionRoutines.h"

namespace lumafolio::transitions {

namespace {

// How much of its full length a panel line (or column) keeps at `fraction` of the way from the
// hinge (0) to the far edge (1), when the far edge keeps `farScale`.
double Narrowing(double fraction, double farScale) { return 1.0 - (1.0 - farScale) * fraction; }

// Hinge along the top or bottom edge: the panel is cut into screen lines.
void SwingAcrossLines(const StageView& view, bool top, int extent, double farScale) {
  const int w = view.width;
  const int h = view.height;
  for (int line = 0; line < h; ++line) {
    const int row = h - 1 - line;
    std::uint8_t* out = view.OutRow(row);
    const int fromHinge = top ? line : h - 1 - line;
    if (fromHinge >= extent) {
      std::memcpy(out, view.ToRow(row), view.RowBytes());
      continue;
    }
    // The panel's lines are A's lines spread evenly from the hinge to the far edge.
    const int sourceFromHinge =
        static_cast<int>((2 * static_cast<std::int64_t>(fromHinge) + 1) * h / (2 * extent));
    const int sourceLine = top ? sourceFromHinge : h - 1 - sourceFromHinge;
    const double span = w * Narrowing((fromHinge + 0.5) / extent, farScale);
    const double left = (w - span) / 2;
    const panels::PixelRange pixels = panels::CentresWithin(left, left + span, w);
    const panels::Sampling columns = panels::SampleEvenly(left, left + span, pixels.first, w);
    panels::FillAround(out, view.ToRow(row), w, &pixels, 1);
    panels::StretchRow(out + pixels.first * 3, view.FromRow(h - 1 - sourceLine),
                       pixels.end - pixels.first, columns, w);
  }
}

// Hinge along the left or right edge: the panel is cut into screen columns.
void SwingAcrossColumns(panels::ColumnPanel& swingPanel, const StageView& view, bool right,
                        int extent, double farScale) {
  const int w = view.width;
  const int h = view.height;
  swingPanel.Reset(w, h, view.stride);
  for (int fromHinge = 0; fromHinge < extent; ++fromHinge) {
    const int sourceFromHinge =
        static_cast<int>((2 * static_cast<std::int64_t>(fromHinge) + 1) * w / (2 * extent));
    const int x = right ? w - 1 - fromHinge : fromHinge;
    const int sourceColumn = right ? w - 1 - sourceFromHinge : sourceFromHinge;
    const double span = h * Narrowing((fromHinge + 0.5) / extent, farScale);
    const double top = (h - span) / 2;
    swingPanel.SetColumn(x, top, top + span, sourceColumn);
  }
  const int x0 = right ? w - extent : 0;
  const int x1 = right ? w : extent;
  // Lines are drawn in pairs, which share the panel's arithmetic per column.
  panels::PixelRange nextRun{x1, x1};
  for (int line = 0; line < h; line += 2) {
    const int row = h - 1 - line;
    std::uint8_t* out = view.OutRow(row);
    const panels::PixelRange run = swingPanel.CoveredRunNear(x0, x1, line, nextRun);
    panels::FillAround(out, view.ToRow(row), w, &run, 1);
    if (line + 1 == h) {
      swingPanel.DrawRun(out, view.from, run, line);
      break;
    }
    std::uint8_t* nextOut = view.OutRow(row - 1);
    nextRun = swingPanel.CoveredRunNear(x0, x1, line + 1, run);
    panels::FillAround(nextOut, view.ToRow(row - 1), w, &nextRun, 1);
    swingPanel.DrawRunPair(out, nextOut, view.from, run, nextRun, line);
  }
}

}  // namespace

// The old picture swings away about a hinge on the edge its direction names, and uncovers the
// new one. Across the hinge the panel shortens with the cosine of its
// angle; its far edge shrinks in perspective towards the centre line.
int Swing(int command, const EffectParams& params, EffectState& state) {
  // The panel's columns for the hinges at the left and right edges, rebuilt every step.
  panels::ColumnPanel& swingPanel = state.Get<panels::ColumnPanel>();
  if (command == kEffectEnd) {
    swingPanel.Release();
    return 0;
  }
  if (command != kEffectStep) return 0;
  const StageView view(params);
  const double p = Progress(params);
  if (p <= 0.0) {
    view.CopyFrom();
    return 0;
  }
  const double angle = p * 1.5707963;
  const bool acrossLines = params.direction == kEdgeTop || params.direction == kEdgeBottom;
  const int size = acrossLines ? view.height : view.width;
  const int extent = std::clamp(static_cast<int>(std::floor(size * std::cos(angle))), 0, size);
  const double viewer = 1.5 * view.width;
  const double farScale = viewer / (viewer + extent * std::sin(angle));

  if (acrossLines) {
    SwingAcrossLines(view, params.direction == kEdgeTop, extent, farScale);
  } else {
    SwingAcrossColumns(swingPanel, view, params.direction == kEdgeRight, extent, farScale);
  }
  return 0;
}

}  // namespace lumafolio::transitions
