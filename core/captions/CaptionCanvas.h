#pragma once

#include <span>

#include "core/captions/CaptionFrame.h"
#include "core/captions/CaptionGlyph.h"

namespace lumafolio {

struct Caption;

// What a caption effect draws onto: the player's stage through GDI, or any other surface with a
// font engine. The effect decides where each glyph goes; the canvas owns the font, the clip and
// the pixels.
class CaptionCanvas {
 public:
  virtual ~CaptionCanvas() = default;
  // Draws `frame` of `caption`, whose laid-out glyphs are `glyphs`, in the caption's font,
  // colour and shadow.
  virtual void Draw(const Caption& caption, std::span<const CaptionGlyph> glyphs,
                    const CaptionFrame& frame) = 0;
};

}  // namespace lumafolio
