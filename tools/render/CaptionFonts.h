#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <ostream>
#include <span>
#include <string>

#include "core/captions/CaptionCanvas.h"
#include "core/captions/CaptionLayout.h"

namespace lumafolio::render {

// Captions drawn natively: faces found by fontconfig, glyphs drawn by FreeType, measured and
// placed as GDI measures and places them (a LOGFONT height < 0 is the character height, > 0
// the cell height; weight, italic, underline; the text in the Windows-1252 code page).
class CaptionFonts {
 public:
  // Warnings (a face that is missing and the substitute fontconfig gives for it, once per face)
  // go to `warnings`.
  explicit CaptionFonts(std::ostream& warnings);
  ~CaptionFonts();
  CaptionFonts(const CaptionFonts&) = delete;
  CaptionFonts& operator=(const CaptionFonts&) = delete;

  // Lays out `caption` in its font as the player's LayoutCaption does with GDI's measures.
  int Layout(const Caption& caption, std::span<CaptionGlyph> glyphs, CaptionExtent* size);

  // A canvas that draws caption frames onto `bits`: a stage of `width` x `height`, 24-bit BGR
  // rows, bottom-up, padded to four bytes. Shadow at +2,+2 in black, then the glyph in the
  // caption's colour; the frame's clip (rectangle or ellipse) applied.
  std::unique_ptr<CaptionCanvas> Canvas(std::uint8_t* bits, int width, int height);

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace lumafolio::render
