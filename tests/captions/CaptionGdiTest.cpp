#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/captions/CaptionFrame.h"
#include "core/effects/EffectLibrary.h"
#include "core/effects/EffectTable.h"
#include "core/film/FilmDocument.h"
#include "player/captions/CaptionGdi.h"

namespace lumafolio {
namespace {

Caption MakeCaption(const char* face, const std::string& text, int quality = 1) {
  Caption caption;
  caption.text = text;
  caption.textColour = RGB(255, 0, 0);
  caption.font.height = -40;
  caption.font.weight = 400;
  caption.font.quality = static_cast<std::uint8_t>(quality);
  std::strcpy(caption.font.faceName.data(), face);
  return caption;
}

// Measures `text` in `caption`'s font as a whole, the way GDI lays out a string.
SIZE WholeExtent(const Caption& caption, const std::string& text, TEXTMETRICA* metrics) {
  const GdiObject<HFONT> font = CreateCaptionFont(caption.font);
  const WindowDc screen(nullptr);
  const SelectionScope selected(screen.get(), font.get());
  GetTextMetricsA(screen.get(), metrics);
  SIZE size{};
  GetTextExtentPoint32A(screen.get(), text.data(), static_cast<int>(text.size()), &size);
  return size;
}

// A white 24-bit picture with a DC, top-down, that captions are drawn onto.
class Picture {
 public:
  Picture(int width, int height) : width_(width), height_(height), dc_(nullptr) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    bitmap_.reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    bits_ = static_cast<std::uint8_t*>(bits);
    previous_ = SelectObject(dc_.get(), bitmap_.get());
    PatBlt(dc_.get(), 0, 0, width, height, WHITENESS);
  }
  ~Picture() { SelectObject(dc_.get(), previous_); }
  HDC Dc() const { return dc_.get(); }
  COLORREF At(int x, int y) const {
    GdiFlush();
    const std::uint8_t* p = bits_ + static_cast<std::size_t>(y) * Stride() + x * 3;
    return RGB(p[2], p[1], p[0]);
  }
  std::vector<std::uint8_t> Pixels() const {
    GdiFlush();
    return {bits_, bits_ + Stride() * static_cast<std::size_t>(height_)};
  }
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  std::size_t Stride() const { return (static_cast<std::size_t>(width_) * 3 + 3) & ~3u; }
  int width_;
  int height_;
  MemoryDc dc_;
  GdiObject<HBITMAP> bitmap_;
  std::uint8_t* bits_ = nullptr;
  HGDIOBJ previous_ = nullptr;
};

TEST(CaptionGdi, LayoutMeasuresLikeGdiInEachFace) {
  int arialWidth = 0;
  for (const char* face : {"Arial", "Times New Roman"}) {
    SCOPED_TRACE(face);
    Caption caption = MakeCaption(face, "Wavy type\r\nmid");
    caption.lineSpacing = 150;
    std::vector<CaptionGlyph> glyphs(kMaxCaptionGlyphs);
    CaptionExtent block;
    ASSERT_EQ(LayoutCaption(caption, glyphs, &block), 12);

    // Characters measured one by one add up to the line as GDI measures it whole.
    TEXTMETRICA metrics{};
    const SIZE first = WholeExtent(caption, "Wavy type", &metrics);
    const SIZE second = WholeExtent(caption, "mid", &metrics);
    EXPECT_EQ(glyphs[8].x + glyphs[8].width, first.cx);
    EXPECT_EQ(block.width, first.cx);
    EXPECT_EQ(glyphs[0].y, metrics.tmAscent);
    EXPECT_EQ(glyphs[0].height, metrics.tmHeight);
    EXPECT_EQ(glyphs[11].y, metrics.tmAscent + metrics.tmHeight * 150 / 100);
    EXPECT_EQ(block.height, glyphs[11].y + metrics.tmDescent);
    EXPECT_EQ(glyphs[11].x + glyphs[11].width, second.cx);
    if (arialWidth == 0) {
      arialWidth = block.width;
    } else {
      EXPECT_NE(block.width, arialWidth) << "the face must reach the font";
    }
  }
}

// Runs one caption effect of the player's table on `picture` at `frame` of 32.
void DrawEffect(Picture& picture, Caption caption, int effect, int frame) {
  std::vector<CaptionGlyph> glyphs(kMaxCaptionGlyphs);
  CaptionExtent block;
  const int count = LayoutCaption(caption, glyphs, &block);
  caption.textWidth = block.width;
  caption.textHeight = block.height;
  EffectLibrary effects;
  GdiCaptionCanvas canvas(picture.Dc());
  CaptionEffectParams params;
  params.canvas = &canvas;
  params.caption = &caption;
  params.glyphs = glyphs.data();
  params.glyphCount = count;
  params.width = picture.width();
  params.height = picture.height();
  params.frame = frame;
  params.frameCount = 32;
  effects.RunCaptionEffect(effect, kEffectStep, &params);
}

int EffectNamed(const char* name) {
  for (const CaptionEffectEntry& entry : CaptionEffectTable()) {
    if (std::strcmp(entry.name, name) == 0) return entry.index;
  }
  return -1;
}

TEST(CaptionGdi, ShadowFallsTwoPixelsDownRightUnderItsGlyph) {
  // Sharp edges, so that every pixel is either the glyph's, the shadow's or the background's.
  Caption caption = MakeCaption("Arial", "HI", NONANTIALIASED_QUALITY);
  caption.left = 20;
  caption.top = 10;
  Picture plain(160, 80);
  DrawEffect(plain, caption, EffectNamed("appear"), 32);
  caption.shadow = 1;
  Picture shaded(160, 80);
  DrawEffect(shaded, caption, EffectNamed("appear"), 32);

  int glyphPixels = 0;
  int shadowPixels = 0;
  for (int y = 0; y < 80; ++y) {
    for (int x = 0; x < 160; ++x) {
      const bool glyph = plain.At(x, y) == RGB(255, 0, 0);
      const bool under = x >= 2 && y >= 2 && plain.At(x - 2, y - 2) == RGB(255, 0, 0);
      const COLORREF expected = glyph ? RGB(255, 0, 0) : under ? RGB(0, 0, 0) : RGB(255, 255, 255);
      ASSERT_EQ(shaded.At(x, y), expected) << x << "," << y;
      glyphPixels += glyph;
      shadowPixels += under && !glyph;
    }
  }
  EXPECT_GT(glyphPixels, 100);
  EXPECT_GT(shadowPixels, 20);
}

TEST(CaptionGdi, ClipsShowWhatTheEffectUncovers) {
  Caption caption = MakeCaption("Arial", "Wipe me\r\nplease", NONANTIALIASED_QUALITY);
  caption.left = 30;
  caption.top = 20;
  Picture settled(300, 140);
  DrawEffect(settled, caption, EffectNamed("appear"), 32);
  const std::vector<std::uint8_t> white = Picture(300, 140).Pixels();

  for (const char* name : {"wipe-right", "box", "iris", "box-vertical"}) {
    SCOPED_TRACE(name);
    Picture first(300, 140);
    DrawEffect(first, caption, EffectNamed(name), 0);
    EXPECT_EQ(first.Pixels(), white) << "frame 0 shows nothing";
    Picture last(300, 140);
    DrawEffect(last, caption, EffectNamed(name), 32);
    EXPECT_EQ(last.Pixels(), settled.Pixels()) << "the last frame shows the whole caption";
  }

  // Half way, the wipe from the left shows the left half of the block and nothing right of it.
  std::vector<CaptionGlyph> glyphs(kMaxCaptionGlyphs);
  CaptionExtent block;
  LayoutCaption(caption, glyphs, &block);
  Picture half(300, 140);
  DrawEffect(half, caption, EffectNamed("wipe-right"), 16);
  const int edge = caption.left + block.width / 2;
  int shown = 0;
  for (int y = 0; y < 140; ++y) {
    for (int x = 0; x < 300; ++x) {
      const COLORREF expected = x < edge ? settled.At(x, y) : RGB(255, 255, 255);
      ASSERT_EQ(half.At(x, y), expected) << x << "," << y;
      shown += x < edge && expected != RGB(255, 255, 255);
    }
  }
  EXPECT_GT(shown, 50);
  // Glyphs wholly inside a round clip are drawn without it: the pixels must be those of every
  // glyph drawn through the region, frame by frame as the iris opens over a block of small text.
  caption.text =
      "Many small letters in\r\nfour lines, so that\r\nthe iris opens over\r\nsome whole glyphs.";
  caption.font.height = -12;
  caption.shadow = 1;
  const int count = LayoutCaption(caption, glyphs, &block);
  for (int frame = 4; frame < 32; frame += 6) {
    CaptionFrameInput in;
    in.left = caption.left;
    in.top = caption.top;
    in.width = block.width;
    in.height = block.height;
    in.glyphs = std::span(glyphs).first(static_cast<std::size_t>(count));
    in.frame = frame;
    in.frameCount = 32;
    const CaptionFrame plan = PlanIris(in);
    Picture throughRegion(300, 140);
    ASSERT_LT(block.height, 100);
    {
      const GdiObject<HFONT> font = CreateCaptionFont(caption.font);
      const SelectionScope selected(throughRegion.Dc(), font.get());
      SetBkMode(throughRegion.Dc(), TRANSPARENT);
      SetTextAlign(throughRegion.Dc(), TA_BASELINE | TA_LEFT);
      const CaptionClip& c = plan.clip;
      const GdiObject<HRGN> region(
          CreateRoundRectRgn(c.left, c.top, c.right, c.bottom, c.right - c.left, c.bottom - c.top));
      SelectClipRgn(throughRegion.Dc(), region.get());
      for (const PlacedGlyph& placed : plan.glyphs) {
        DrawCaptionChar(throughRegion.Dc(), placed.x, placed.y, glyphs[placed.index].code,
                        caption.textColour, 1);
      }
      SelectClipRgn(throughRegion.Dc(), nullptr);
    }
    Picture canvas(300, 140);
    GdiCaptionCanvas(canvas.Dc()).Draw(caption, in.glyphs, plan);
    EXPECT_EQ(canvas.Pixels(), throughRegion.Pixels()) << "frame " << frame;
  }

  // The clip is removed after the frame: the DC draws everywhere again.
  EXPECT_EQ(GetClipRgn(half.Dc(), GdiObject<HRGN>(CreateRectRgn(0, 0, 1, 1)).get()), 0);
}

// Run with a double-byte system code page (LANG=ja_JP.UTF-8 under wine gives 932).
TEST(CaptionGdi, DoubleByteCharactersAreMeasuredAndDrawnWhole) {
  if (GetACP() != 932) GTEST_SKIP() << "the system code page is " << GetACP() << ", not 932";
  const std::string kana = "\x82\xA0";  // HIRAGANA LETTER A in code page 932
  Caption caption = MakeCaption("Arial", "A" + kana + "B");
  std::vector<CaptionGlyph> glyphs(kMaxCaptionGlyphs);
  CaptionExtent block;
  ASSERT_EQ(LayoutCaption(caption, glyphs, &block), 3);
  EXPECT_EQ(glyphs[1].code, 0x82A0);
  TEXTMETRICA metrics{};
  EXPECT_EQ(glyphs[1].width, WholeExtent(caption, kana, &metrics).cx);
  EXPECT_EQ(block.width, WholeExtent(caption, "A" + kana + "B", &metrics).cx);

  // Drawn, the glyph is the two bytes as one character, exactly as TextOutA draws them.
  Picture drawn(120, 60);
  Picture expected(120, 60);
  SetBkMode(drawn.Dc(), TRANSPARENT);
  SetBkMode(expected.Dc(), TRANSPARENT);
  const GdiObject<HFONT> font = CreateCaptionFont(caption.font);
  const SelectionScope a(drawn.Dc(), font.get());
  const SelectionScope b(expected.Dc(), font.get());
  DrawCaptionChar(drawn.Dc(), 10, 10, glyphs[1].code, RGB(0, 0, 0), 0);
  SetTextColor(expected.Dc(), RGB(0, 0, 0));
  TextOutA(expected.Dc(), 10, 10, kana.data(), 2);
  EXPECT_EQ(drawn.Pixels(), expected.Pixels());
  EXPECT_NE(drawn.Pixels(), Picture(120, 60).Pixels());
}

}  // namespace
}  // namespace lumafolio
