#pragma once

#include <windows.h>

#include <cstdint>
#include <span>

#include "core/captions/CaptionCanvas.h"
#include "core/captions/CaptionLayout.h"
#include "player/win32/GdiObjects.h"

namespace lumafolio {

struct Caption;
struct LogFontA;

// The caption's font as GDI makes it from the film's LOGFONTA; empty when GDI refuses it.
GdiObject<HFONT> CreateCaptionFont(const LogFontA& font);

// Lays out `caption` with its font as the screen measures it (see the portable LayoutCaption).
// A caption whose font cannot be made has no glyphs and a block of 0 x 0.
int LayoutCaption(const Caption& caption, std::span<CaptionGlyph> glyphs, CaptionExtent* size);

// Draws one glyph with its baseline point at (x, y) in `colour`, and first, when `shadow` is
// not 0, a black copy 2 pixels right and 2 down. The DC's font, alignment and background mode
// are the caller's. Always 1.
int DrawCaptionChar(HDC dc, int x, int y, std::uint16_t code, COLORREF colour, int shadow);

// Draws caption frames onto a device context: the stage memory in the player, any bitmap in the
// tools. The font and the clip region are made and dropped within each frame.
class GdiCaptionCanvas final : public CaptionCanvas {
 public:
  explicit GdiCaptionCanvas(HDC dc) : dc_(dc) {}
  void Draw(const Caption& caption, std::span<const CaptionGlyph> glyphs,
            const CaptionFrame& frame) override;

 private:
  HDC dc_;
};

}  // namespace lumafolio
