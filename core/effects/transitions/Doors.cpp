#include <cstdint>
#include <cstring>

#include "core/effects/drawing/PanelSampling.h"
#include "core/effects/drawing/StageView.h"
#include "core/effects/transitions/TransitionRoutines.h"

namespace lumafolio::transitions {

namespace {

// Sets output column x, `i` columns in from its hinge on a door `doorWidth` columns wide: its
// height falls linearly towards the free edge, which has turned furthest away, and it is
// centred.
void SetDoorColumn(panels::ColumnPanel& doors, int x, int i, int doorWidth, std::int64_t lift,
                   int sourceColumn, int height) {
  const int columnHeight = height - static_cast<int>(2 * lift * i / doorWidth);
  const int top = (height - columnHeight) / 2;
  doors.SetColumn(x, top, top + columnHeight, sourceColumn);
}

}  // namespace

// The old picture opens as a pair of doors hinged at the left and right edges. The opening in
// the middle shows the new picture; each door shows its half of the old one squeezed into the
// door's width, its columns growing shorter towards the free edge.
int Doors(int command, const EffectParams& params, EffectState& state) {
  // The doors' columns, rebuilt every step.
  panels::ColumnPanel& doors = state.Get<panels::ColumnPanel>();
  if (command == kEffectEnd) {
    doors.Release();
    return 0;
  }
  if (command != kEffectStep) return 0;
  const StageView view(params);
  const int w = view.width;
  const int h = view.height;
  const std::int64_t s = params.step;
  const std::int64_t n = params.lastStep;

  const int opening = static_cast<int>(w * s / n);
  const int left = (w - opening) / 2;           // left door width (its hinge is column 0)
  const int right = w - opening - left;         // right door: one wider when the rest is odd
  const std::int64_t lift = h * s / n / 2 / 2;  // how far the free edges have shrunk, each end
  const int leftHalf = w / 2;
  const int rightHalf = w - leftHalf;

  doors.Reset(w, h, view.stride);
  for (int i = 0; i < left; ++i) {
    // Column i shows the left half's column at the same fraction of the half.
    const int source = static_cast<int>((2 * static_cast<std::int64_t>(i) + 1) * leftHalf /
                                        (2 * static_cast<std::int64_t>(left)));
    SetDoorColumn(doors, i, i, left, lift, source, h);
  }
  for (int i = 0; i < right; ++i) {
    const int source = w - 1 -
                       static_cast<int>((2 * static_cast<std::int64_t>(i) + 1) * rightHalf /
                                        (2 * static_cast<std::int64_t>(right)));
    SetDoorColumn(doors, w - 1 - i, i, right, lift, source, h);
  }

  // Lines are drawn in pairs, which share the doors' arithmetic per column; each line's runs
  // are found from the line above's.
  panels::PixelRange nextRuns[2] = {{left, left}, {w, w}};
  for (int line = 0; line < h; line += 2) {
    const int row = h - 1 - line;
    std::uint8_t* out = view.OutRow(row);
    const panels::PixelRange runs[2] = {doors.CoveredRunNear(0, left, line, nextRuns[0]),
                                        doors.CoveredRunNear(w - right, w, line, nextRuns[1])};
    // The new picture stays in place behind the doors and in the opening.
    panels::FillAround(out, view.ToRow(row), w, runs, 2);
    if (line + 1 == h) {
      doors.DrawRun(out, view.from, runs[0], line);
      doors.DrawRun(out, view.from, runs[1], line);
      break;
    }
    std::uint8_t* nextOut = view.OutRow(row - 1);
    nextRuns[0] = doors.CoveredRunNear(0, left, line + 1, runs[0]);
    nextRuns[1] = doors.CoveredRunNear(w - right, w, line + 1, runs[1]);
    panels::FillAround(nextOut, view.ToRow(row - 1), w, nextRuns, 2);
    doors.DrawRunPair(out, nextOut, view.from, runs[0], nextRuns[0], line);
    doors.DrawRunPair(out, nextOut, view.from, runs[1], nextRuns[1], line);
  }
  return 0;
}

}  // namespace lumafolio::transitions
