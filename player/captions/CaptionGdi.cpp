#include "player/captions/CaptionGdi.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "core/film/FilmDocument.h"

namespace lumafolio {
namespace {

// Measures with the font selected into a DC, in the system's ANSI code page: the one the
// caption's bytes were written in and the one TextOutA draws them in.
class GdiMeasurer final : public CaptionMeasurer {
 public:
  explicit GdiMeasurer(HDC dc) : dc_(dc) {
    TEXTMETRICA tm{};
    if (GetTextMetricsA(dc_, &tm)) metrics_ = {tm.tmAscent, tm.tmDescent, tm.tmHeight};
  }
  CaptionFontMetrics Metrics() const override { return metrics_; }
  bool IsLeadByte(std::uint8_t byte) const override { return IsDBCSLeadByte(byte) != FALSE; }
  CaptionExtent Measure(std::string_view character) const override {
    SIZE extent{};
    GetTextExtentPoint32A(dc_, character.data(), static_cast<int>(character.size()), &extent);
    return {extent.cx, extent.cy};
  }

 private:
  HDC dc_;
  CaptionFontMetrics metrics_;
};

// The frame's clip region, selected only while a glyph that straddles its edge is drawn:
// clipping every character through a round region is what made a frame of ten long captions
// miss the display's refresh, and a glyph wholly inside the clip draws the same pixels without
// it. Removed again when the frame is drawn.
class ClipScope {
 public:
  ClipScope(HDC dc, const CaptionClip& clip) : dc_(dc), clip_(clip) {
    if (clip.kind == CaptionClip::Kind::kNone) return;
    region_.reset(clip.kind == CaptionClip::Kind::kRectangle
                      ? CreateRectRgn(clip.left, clip.top, clip.right, clip.bottom)
                      : CreateRoundRectRgn(clip.left, clip.top, clip.right, clip.bottom,
                                           clip.right - clip.left, clip.bottom - clip.top));
    failed_ = !region_;
  }
  ClipScope(const ClipScope&) = delete;
  ClipScope& operator=(const ClipScope&) = delete;
  ~ClipScope() {
    if (selected_) SelectClipRgn(dc_, nullptr);
  }
  bool Failed() const { return failed_; }

  // False when the clip hides all of `box`; otherwise the clip is selected or removed for it.
  bool Prepare(const CaptionClip& box) {
    if (ClipHidesAll(clip_, box)) return false;
    const bool needed = !ClipShowsAll(clip_, box);
    if (needed != selected_) {
      SelectClipRgn(dc_, needed ? region_.get() : nullptr);
      selected_ = needed;
    }
    return true;
  }

 private:
  HDC dc_;
  CaptionClip clip_;
  GdiObject<HRGN> region_;
  bool selected_ = false;
  bool failed_ = false;
};

// Text alignment and background mode for the life of one frame, put back afterwards so that
// the stage DC is left as it was found.
class TextModeScope {
 public:
  explicit TextModeScope(HDC dc)
      : dc_(dc),
        mode_(SetBkMode(dc, TRANSPARENT)),
        align_(SetTextAlign(dc, TA_BASELINE | TA_LEFT)),
        colour_(GetTextColor(dc)) {}
  TextModeScope(const TextModeScope&) = delete;
  TextModeScope& operator=(const TextModeScope&) = delete;
  ~TextModeScope() {
    SetTextColor(dc_, colour_);
    if (align_ != GDI_ERROR) SetTextAlign(dc_, align_);
    if (mode_ != 0) SetBkMode(dc_, mode_);
  }

 private:
  HDC dc_;
  int mode_;
  UINT align_;
  COLORREF colour_;
};

}  // namespace

GdiObject<HFONT> CreateCaptionFont(const LogFontA& font) {
  LOGFONTA logFont{};
  logFont.lfHeight = font.height;
  logFont.lfWidth = font.width;
  logFont.lfEscapement = font.escapement;
  logFont.lfOrientation = font.orientation;
  logFont.lfWeight = font.weight;
  logFont.lfItalic = font.italic;
  logFont.lfUnderline = font.underline;
  logFont.lfStrikeOut = font.strikeOut;
  logFont.lfCharSet = font.charSet;
  logFont.lfOutPrecision = font.outPrecision;
  logFont.lfClipPrecision = font.clipPrecision;
  logFont.lfQuality = font.quality;
  logFont.lfPitchAndFamily = font.pitchAndFamily;
  // The film's face name need not end inside its 32 bytes; GDI's must.
  const auto faceLength = static_cast<std::size_t>(
      std::find(font.faceName.begin(), font.faceName.end() - 1, '\0') - font.faceName.begin());
  std::memcpy(logFont.lfFaceName, font.faceName.data(), faceLength);
  return GdiObject<HFONT>(CreateFontIndirectA(&logFont));
}

int LayoutCaption(const Caption& caption, std::span<CaptionGlyph> glyphs, CaptionExtent* size) {
  if (size != nullptr) *size = {};
  const GdiObject<HFONT> font = CreateCaptionFont(caption.font);
  const WindowDc screen(nullptr);
  if (!font || !screen) return 0;
  const SelectionScope selected(screen.get(), font.get());
  return LayoutCaption(caption, GdiMeasurer(screen.get()), glyphs, size);
}

int DrawCaptionChar(HDC dc, int x, int y, std::uint16_t code, COLORREF colour, int shadow) {
  char bytes[2];
  int length = 0;
  if (code >= 256) bytes[length++] = static_cast<char>(code >> 8);
  bytes[length++] = static_cast<char>(code & 0xFF);
  if (shadow != 0) {
    SetTextColor(dc, RGB(0, 0, 0));
    TextOutA(dc, x + 2, y + 2, bytes, length);
  }
  SetTextColor(dc, colour);
  TextOutA(dc, x, y, bytes, length);
  return 1;
}

void GdiCaptionCanvas::Draw(const Caption& caption, std::span<const CaptionGlyph> glyphs,
                            const CaptionFrame& frame) {
  const GdiObject<HFONT> font = CreateCaptionFont(caption.font);
  if (!font || dc_ == nullptr) return;
  const SelectionScope selected(dc_, font.get());
  const TextModeScope mode(dc_);
  ClipScope clip(dc_, frame.clip);
  if (clip.Failed()) return;  // a region GDI could not make shows nothing of this frame
  for (const PlacedGlyph& placed : frame.glyphs) {
    if (placed.index < 0 || static_cast<std::size_t>(placed.index) >= glyphs.size()) continue;
    const CaptionGlyph& glyph = glyphs[static_cast<std::size_t>(placed.index)];
    if (!clip.Prepare(GlyphInkBox(glyph, placed.x, placed.y))) continue;
    DrawCaptionChar(dc_, placed.x, placed.y, glyph.code, caption.textColour, caption.shadow);
  }
}

}  // namespace lumafolio
