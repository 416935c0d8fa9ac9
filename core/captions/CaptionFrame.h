#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "core/captions/CaptionGlyph.h"

namespace lumafolio {

// Where a caption effect lets its glyphs show on one frame.
struct CaptionClip {
  enum class Kind { kNone, kRectangle, kEllipse };
  Kind kind = Kind::kNone;
  // The rectangle, or the box of the ellipse, in stage pixels (right and bottom excluded).
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
};

// One glyph to draw, at its baseline point on the stage.
struct PlacedGlyph {
  int index = 0;  // into the caption's glyphs
  std::int32_t x = 0;
  std::int32_t y = 0;
};

// Everything one frame of one caption draws: the glyphs in drawing order (a glyph not yet on
// the stage is left out) and the clip they are drawn through.
struct CaptionFrame {
  CaptionClip clip;
  std::vector<PlacedGlyph> glyphs;
};

// A box that holds every pixel a glyph drawn at a baseline point may touch, its shadow included:
// a glyph's ink stays within its height of the advance box, even in italics.
CaptionClip GlyphInkBox(const CaptionGlyph& glyph, std::int32_t x, std::int32_t y);

// Whether a clip lets all of `box` show (drawing it clipped or not gives the same pixels), and
// whether it hides all of it (it need not be drawn at all). Both err on the side of "no": a
// round clip's region only approximates its ellipse, so the ellipse is taken 2 pixels smaller
// for "shows" and as its whole box for "hides".
bool ClipShowsAll(const CaptionClip& clip, const CaptionClip& box);
bool ClipHidesAll(const CaptionClip& clip, const CaptionClip& box);

// What a caption effect computes a frame from.
struct CaptionFrameInput {
  std::int32_t left = 0;  // the caption's place on the stage
  std::int32_t top = 0;
  std::int32_t width = 0;  // its laid-out block
  std::int32_t height = 0;
  std::span<const CaptionGlyph> glyphs;
  std::int32_t stageWidth = 0;
  std::int32_t stageHeight = 0;
  std::int32_t frame = 0;
  std::int32_t frameCount = 0;
  std::int16_t direction = 0;  // EffectEdge bits
  std::int32_t variant = 0;
};

// The nine caption motions. Each tells what frame `frame` of `frameCount` draws; none keeps
// anything between frames.
CaptionFrame PlanAppear(const CaptionFrameInput& in);
CaptionFrame PlanWipe(const CaptionFrameInput& in);
CaptionFrame PlanSlide(const CaptionFrameInput& in);
CaptionFrame PlanBox(const CaptionFrameInput& in);
CaptionFrame PlanIris(const CaptionFrameInput& in);
CaptionFrame PlanSweep(const CaptionFrameInput& in);
CaptionFrame PlanScatter(const CaptionFrameInput& in);
CaptionFrame PlanWhirl(const CaptionFrameInput& in);
CaptionFrame PlanCascade(const CaptionFrameInput& in);

// Every glyph at its final place, unclipped: what a caption looks like once its effect is over.
CaptionFrame PlanSettled(const CaptionFrameInput& in);

// The start delays of the letter-by-letter cascade: each of 0 to 31 once, in a scrambled order.
extern const std::int32_t kCaptionDelayTable[32];

}  // namespace lumafolio
