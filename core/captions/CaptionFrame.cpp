#include "core/captions/CaptionFrame.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "core/effects/EffectEdges.h"

namespace lumafolio {
namespace {

// The arithmetic is done in 64 bits and brought back into 32 at the end, so that a damaged
// film's huge caption coordinates land far off the stage instead of wrapping or overflowing.
using Wide = std::int64_t;

std::int32_t Clamp32(Wide value) {
  return static_cast<std::int32_t>(std::clamp<Wide>(value, std::numeric_limits<std::int32_t>::min(),
                                                    std::numeric_limits<std::int32_t>::max()));
}

// trunc() toward zero, kept far inside the 64-bit range (a conversion out of range is undefined).
Wide Trunc(double value) {
  if (std::isnan(value)) return 0;
  constexpr double kLimit = 4.0e18;
  return static_cast<Wide>(std::clamp(value, -kLimit, kLimit));
}

// The frame within 0..frameCount. A frame count of 0 or less has no frames in between: the
// effect is at its end.
Wide FrameOf(const CaptionFrameInput& in) {
  if (in.frameCount <= 0) return 1;
  return std::clamp<Wide>(in.frame, 0, in.frameCount);
}
Wide FramesOf(const CaptionFrameInput& in) { return in.frameCount <= 0 ? 1 : in.frameCount; }

// `amount` * frame / frameCount, truncated toward zero.
Wide Share(Wide amount, const CaptionFrameInput& in) { return amount * FrameOf(in) / FramesOf(in); }

double Fraction(const CaptionFrameInput& in) {
  return static_cast<double>(FrameOf(in)) / static_cast<double>(FramesOf(in));
}

// The ease-out curve: fast at first, settling into place.
double EaseOut(double t) { return t * (2.0 - t); }

struct Point {
  Wide x;
  Wide y;
};

Point FinalPlace(const CaptionFrameInput& in, const CaptionGlyph& glyph) {
  return {static_cast<Wide>(in.left) + glyph.x, static_cast<Wide>(in.top) + glyph.y};
}

void Place(CaptionFrame& frame, int index, Point at) {
  frame.glyphs.push_back({index, Clamp32(at.x), Clamp32(at.y)});
}

// Draws every glyph at `place(glyph, index)`.
template <typename Placement>
CaptionFrame EachGlyph(const CaptionFrameInput& in, Placement place) {
  CaptionFrame frame;
  frame.glyphs.reserve(in.glyphs.size());
  for (std::size_t i = 0; i < in.glyphs.size(); ++i) {
    Place(frame, static_cast<int>(i), place(in.glyphs[i], static_cast<int>(i)));
  }
  return frame;
}

CaptionFrame Clipped(const CaptionFrameInput& in, CaptionClip::Kind kind, Wide left, Wide top,
                     Wide right, Wide bottom) {
  CaptionFrame frame = PlanSettled(in);
  frame.clip = {kind, Clamp32(left), Clamp32(top), Clamp32(right), Clamp32(bottom)};
  return frame;
}

// Where a sliding caption starts: just off the stage on the side its direction names.
Point SlideStart(const CaptionFrameInput& in) {
  switch (in.direction) {
    case kEdgeTop:
      return {in.left, -static_cast<Wide>(in.height)};
    case kEdgeRight:
      return {in.stageWidth, in.top};
    case kEdgeBottom:
      return {in.left, in.stageHeight};
    case kEdgeLeft:
      return {-static_cast<Wide>(in.width), in.top};
    default:
      return {in.left, in.top};
  }
}

Wide IntegerSquareRoot(std::uint64_t value) {
  auto root = static_cast<std::uint64_t>(std::sqrt(static_cast<double>(value)));
  while (root > 0 && root * root > value) --root;
  while ((root + 1) * (root + 1) <= value) ++root;
  return static_cast<Wide>(root);
}

}  // namespace

CaptionClip GlyphInkBox(const CaptionGlyph& glyph, std::int32_t x, std::int32_t y) {
  const Wide margin = std::max(glyph.height, 0) + 2;  // + 2: the shadow
  const Wide width = std::max(glyph.width, 0);
  return {CaptionClip::Kind::kRectangle, Clamp32(x - margin), Clamp32(y - margin),
          Clamp32(x + width + margin), Clamp32(y + margin)};
}

bool ClipShowsAll(const CaptionClip& clip, const CaptionClip& box) {
  switch (clip.kind) {
    case CaptionClip::Kind::kNone:
      return true;
    case CaptionClip::Kind::kRectangle:
      return box.left >= clip.left && box.top >= clip.top && box.right <= clip.right &&
             box.bottom <= clip.bottom;
    case CaptionClip::Kind::kEllipse: {
      const double cx = (static_cast<double>(clip.left) + clip.right) / 2;
      const double cy = (static_cast<double>(clip.top) + clip.bottom) / 2;
      const double rx = (static_cast<double>(clip.right) - clip.left) / 2 - 2;
      const double ry = (static_cast<double>(clip.bottom) - clip.top) / 2 - 2;
      if (rx <= 0 || ry <= 0) return false;
      // The ellipse is convex: the box is inside when its four corners are.
      for (const double x : {static_cast<double>(box.left), static_cast<double>(box.right)}) {
        for (const double y : {static_cast<double>(box.top), static_cast<double>(box.bottom)}) {
          const double u = (x - cx) / rx;
          const double v = (y - cy) / ry;
          if (u * u + v * v > 1.0) return false;
        }
      }
      return true;
    }
  }
  return false;
}

bool ClipHidesAll(const CaptionClip& clip, const CaptionClip& box) {
  if (clip.kind == CaptionClip::Kind::kNone) return false;
  return box.right <= clip.left || box.left >= clip.right || box.bottom <= clip.top ||
         box.top >= clip.bottom || clip.left >= clip.right || clip.top >= clip.bottom;
}

const std::int32_t kCaptionDelayTable[32] = {3,  8,  26, 15, 1,  18, 7,  20, 12, 9, 21,
                                             6,  23, 31, 28, 19, 22, 4,  30, 11, 0, 13,
                                             29, 27, 10, 16, 5,  25, 17, 2,  24, 14};

CaptionFrame PlanSettled(const CaptionFrameInput& in) {
  return EachGlyph(in, [&](const CaptionGlyph& glyph, int) { return FinalPlace(in, glyph); });
}

CaptionFrame PlanAppear(const CaptionFrameInput& in) {
  if (FrameOf(in) < FramesOf(in) / 2) return {};
  return PlanSettled(in);
}

CaptionFrame PlanWipe(const CaptionFrameInput& in) {
  const Wide x0 = in.left;
  const Wide y0 = in.top;
  const Wide w = in.width;
  const Wide h = in.height;
  const Wide a = Share(w, in);
  const Wide b = Share(h, in);
  constexpr auto kRect = CaptionClip::Kind::kRectangle;
  switch (in.direction) {
    case kEdgeTop:
      return Clipped(in, kRect, x0, y0, x0 + w, y0 + b);
    case kEdgeRight:
      return Clipped(in, kRect, x0 + w - a, y0, x0 + w, y0 + h);
    case kEdgeBottom:
      return Clipped(in, kRect, x0, y0 + h - b, x0 + w, y0 + h);
    case kEdgeLeft:
      return Clipped(in, kRect, x0, y0, x0 + a, y0 + h);
    default:
      return PlanSettled(in);
  }
}

CaptionFrame PlanSlide(const CaptionFrameInput& in) {
  const Point start = SlideStart(in);
  const double e = EaseOut(Fraction(in));
  const Point origin{start.x + Trunc(static_cast<double>(in.left - start.x) * e),
                     start.y + Trunc(static_cast<double>(in.top - start.y) * e)};
  return EachGlyph(in, [&](const CaptionGlyph& glyph, int) {
    return Point{origin.x + glyph.x, origin.y + glyph.y};
  });
}

CaptionFrame PlanBox(const CaptionFrameInput& in) {
  const Wide w = in.width;
  const Wide h = in.height;
  const Wide across = (in.direction & kEdgeLeft) != 0 ? (w - Share(w, in)) / 2 : 0;
  const Wide upDown = (in.direction & kEdgeTop) != 0 ? (h - Share(h, in)) / 2 : 0;
  return Clipped(in, CaptionClip::Kind::kRectangle, in.left + across, in.top + upDown,
                 in.left + w - across, in.top + h - upDown);
}

CaptionFrame PlanIris(const CaptionFrameInput& in) {
  const Wide cx = in.left + static_cast<Wide>(in.width) / 2;
  const Wide cy = in.top + static_cast<Wide>(in.height) / 2;
  const auto w = static_cast<std::uint64_t>(std::llabs(in.width));
  const auto h = static_cast<std::uint64_t>(std::llabs(in.height));
  const Wide reach = IntegerSquareRoot((w * w + h * h) >> 2) + 1;
  const Wide r = Share(reach, in);
  return Clipped(in, CaptionClip::Kind::kEllipse, cx - r, cy - r, cx + r, cy + r);
}

CaptionFrame PlanSweep(const CaptionFrameInput& in) {
  const Wide x0 = in.left;
  const Wide y0 = in.top;
  const Wide stageW = in.stageWidth;
  const Wide stageH = in.stageHeight;
  return EachGlyph(in, [&](const CaptionGlyph& glyph, int) {
    const Point final = FinalPlace(in, glyph);
    switch (in.direction) {
      case kEdgeTop:
        return Point{final.x, std::min(Share(y0 + in.height, in), final.y)};
      case kEdgeRight:
        return Point{std::max(Share(x0 - stageW, in) + stageW, final.x), final.y};
      case kEdgeBottom:
        return Point{final.x, std::max(Share(y0 - stageH, in) + stageH, final.y)};
      case kEdgeLeft:
        return Point{std::min(Share(x0 + in.width, in), final.x), final.y};
      default:
        return final;
    }
  });
}

CaptionFrame PlanScatter(const CaptionFrameInput& in) {
  const double reach = std::sqrt(static_cast<double>(in.stageWidth) * in.stageWidth +
                                 static_cast<double>(in.stageHeight) * in.stageHeight);
  const double e = EaseOut(Fraction(in));
  return EachGlyph(in, [&](const CaptionGlyph& glyph, int index) {
    const double angle = index * 2.5525435;
    const Wide dx = Trunc(std::cos(angle) * reach);
    const Wide dy = Trunc(std::sin(angle) * reach);
    const Point final = FinalPlace(in, glyph);
    return Point{final.x + dx + Trunc(static_cast<double>(-dx) * e),
                 final.y + dy + Trunc(static_cast<double>(-dy) * e)};
  });
}

CaptionFrame PlanWhirl(const CaptionFrameInput& in) {
  const Wide halfW = in.width / 2;
  const Wide halfH = in.height / 2;
  const Wide cx = in.left + halfW;
  const Wide cy = in.top + halfH;
  const auto dx = static_cast<double>(cx > in.stageWidth / 2 ? cx : in.stageWidth - cx);
  const auto dy = static_cast<double>(cy > in.stageHeight / 2 ? cy : in.stageHeight - cy);
  const double rMax = std::sqrt(dx * dx + dy * dy);
  const double u = 1.0 - Fraction(in);
  const double turn = u * 18.849552;  // three turns at the first frame
  const double rho = u * rMax;
  const double c = std::cos(turn);
  const double s = std::sin(turn);
  return EachGlyph(in, [&](const CaptionGlyph& glyph, int) {
    const auto vx = static_cast<double>(glyph.x - halfW);
    const auto vy = static_cast<double>(glyph.y - halfH);
    const double d = std::sqrt(vx * vx + vy * vy);
    // A glyph on the centre itself has no direction to circle in: it waits at its place.
    if (d == 0.0 || rho < d) return FinalPlace(in, glyph);
    return Point{cx + Trunc(rho * (c * vx / d - s * vy / d)),
                 cy + Trunc(rho * (s * vx / d + c * vy / d))};
  });
}

CaptionFrame PlanCascade(const CaptionFrameInput& in) {
  CaptionFrame frame;
  if (in.glyphs.empty()) return frame;
  const bool byLetter = in.variant == 1;
  // By letter, the 32 delays and each move of 100 units fit in 131; by line, each line starts
  // one unit after the one above and the last one has covered 99 of its 100 units at the end.
  const Wide units = byLetter ? 131 : static_cast<Wide>(in.glyphs.back().line) + 99;
  const Wide t = Share(units, in);
  const Point start = SlideStart(in);
  frame.glyphs.reserve(in.glyphs.size());
  for (std::size_t i = 0; i < in.glyphs.size(); ++i) {
    const CaptionGlyph& glyph = in.glyphs[i];
    const Wide delay = byLetter ? kCaptionDelayTable[i % 32] : glyph.line;
    const Wide k = t - delay;
    if (k < 0) continue;
    if (k >= 100) {
      Place(frame, static_cast<int>(i), FinalPlace(in, glyph));
      continue;
    }
    const double p = EaseOut(static_cast<double>(k) * 0.01);
    Place(frame, static_cast<int>(i),
          {start.x + glyph.x + Trunc(static_cast<double>(in.left - start.x) * p),
           start.y + glyph.y + Trunc(static_cast<double>(in.top - start.y) * p)});
  }
  return frame;
}

}  // namespace lumafolio
