#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/effects/drawing/PanelSampling.h"
#include "core/effects/drawing/StageView.h"
#include "core/effects/transitions/TransitionRoutines.h"

namespace lumafolio::transitions {

namespace {

// The flap's angle from the picture plane in whole degrees at `percent`: it falls from upright,
// then bounces three times, each bounce lower, on parabolic arcs that meet the plane where one
// arc hands over to the next.
int FlapDegrees(int percent) {
  const int q = percent;
  int degrees;
  if (q < 17) {
    degrees = 90 - q * q * 90 / 324;
  } else if (q < 49) {
    degrees = 80 - (q - 32) * (q - 32) * 80 / 256;
  } else if (q < 65) {
    degrees = 50 - (q - 56) * (q - 56) * 50 / 64;
  } else if (q < 87) {
    degrees = 55 - (q - 75) * (q - 75) * 55 / 121;
  } else {
    degrees = 20 - (q - 90) * (q - 90) * 20 / 16;
  }
  // The last arc would carry on below the plane after 94 percent (down to -81 degrees at 99),
  // tipping the flap through the picture and, on pictures taller than 2.5 widths, dividing by
  // zero below. Once it has landed it stays flat.
  return std::max(degrees, 0);
}

}  // namespace

// The new picture falls onto the old one like a flap hinged at the top edge, and bounces. It
// covers the top U lines of the frame, U being the projected length of the flap seen from 2.5
// picture widths away; the flap narrows in perspective from the hinge to its free edge, and its
// lines are sampled so that equal lengths on the flap shrink as they recede.
int Flap(int command, const EffectParams& params, EffectState& /*state*/) {
  if (command != kEffectStep) return 0;
  const StageView view(params);
  const int q = Percent(params);
  if (DrawEndPoint(view, q)) return 0;
  const int w = view.width;
  const int h = view.height;
  const double theta = FlapDegrees(q) * 0.017453333333333335;
  const double c = std::cos(theta);
  const double s = std::sin(theta);
  const std::int64_t viewer = 25 * static_cast<std::int64_t>(w) / 10;
  const auto depth = static_cast<std::int64_t>(h * s);  // how far the free edge stands out
  const std::int64_t covered = viewer * static_cast<std::int64_t>(h * c) / (viewer + depth);
  const int lines = static_cast<int>(std::clamp<std::int64_t>(covered, 0, h));
  const double l = static_cast<double>(viewer);

  for (int line = 0; line < h; ++line) {
    const int row = h - 1 - line;
    std::uint8_t* out = view.OutRow(row);
    if (line >= lines) {
      std::memcpy(out, view.FromRow(row), view.RowBytes());
      continue;
    }
    // A point r lines down the flap is seen at y = r c l / (l + r s) with its line's width
    // scaled by l / (l + r s). Inverted at this line's centre: r = y l / (c l - y s).
    const double y = line + 0.5;
    const double denominator = c * l - y * s;
    const double r = denominator > 0.0 ? std::min(y * l / denominator, static_cast<double>(h)) : h;
    const double width = w * l / (l + r * s);
    const int sourceLine = std::min(static_cast<int>(r), h - 1);
    const double left = (w - width) / 2;
    const panels::PixelRange pixels = panels::CentresWithin(left, left + width, w);
    const panels::Sampling columns = panels::SampleEvenly(left, left + width, pixels.first, w);
    const std::uint8_t* a = view.FromRow(row);
    std::memcpy(out, a, static_cast<std::size_t>(pixels.first) * 3);
    panels::StretchRow(out + pixels.first * 3, view.ToRow(h - 1 - sourceLine),
                       pixels.end - pixels.first, columns, w);
    std::memcpy(out + pixels.end * 3, a + pixels.end * 3,
                static_cast<std::size_t>(w - pixels.end) * 3);
  }
  return 0;
}

}  // namespace lumafolio::transitions
