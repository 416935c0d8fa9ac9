#pragma once

#include <array>
#include <functional>
#include <span>
#include <vector>

#include "core/captions/CaptionGlyph.h"
#include "core/captions/CaptionLayout.h"
#include "core/film/FilmDocument.h"

namespace lumafolio {

// Only ten captions fit the caption animation's working set; later ones are not shown.
constexpr int kMaxAnimatedCaptions = 10;

// One caption as an animation runs it: its effect, its own copy of the record with the block its
// layout measured, and its laid-out glyphs.
struct AnimatedCaption {
  int effect = 0;
  Caption caption;
  std::array<CaptionGlyph, kMaxCaptionGlyphs> glyphs{};
  int glyphCount = 0;

  std::span<const CaptionGlyph> Glyphs() const {
    return std::span(glyphs).first(static_cast<std::size_t>(glyphCount));
  }
};

// Lays out a caption in its font: the screen's measures in the player, a font engine's
// elsewhere. Returns the glyph count and the block's size, as LayoutCaption does.
using CaptionLayouter = std::function<int(const Caption&, std::span<CaptionGlyph>, CaptionExtent*)>;

// The captions of `item` an animation runs, in list order: at most kMaxAnimatedCaptions, without
// those whose effect code names no effect (a damaged film's: never drawn, animated or settled),
// each as `place` gives it (a larger stage moves and grows it) and laid out by `layout`.
std::vector<AnimatedCaption> LayOutCaptions(
    const FilmItem& item, const CaptionLayouter& layout,
    const std::function<Caption(const Caption&)>& place = {});

}  // namespace lumafolio
