// Captions drawn with FreeType and fontconfig: measured as GDI measures (cell and character
// heights, hinted advances), faces found or replaced with a warning, and pixels drawn where the
// clip, the shadow and the bottom-up stage put them.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "core/captions/CaptionFrame.h"
#include "core/film/FilmDocument.h"
#include "tools/render/CaptionFonts.h"

namespace lumafolio::render {
namespace {

Caption MakeCaption(const char* face, int height, const char* text) {
  Caption caption;
  caption.text = text;
  caption.left = 10;
  caption.top = 10;
  caption.textColour = 0x00FFFFFF;
  caption.font.height = height;
  caption.font.weight = 400;
  std::strncpy(caption.font.faceName.data(), face, LogFontA::kFaceSize - 1);
  return caption;
}

// The file fontconfig gives for `face`, or "" when it gives another family.
std::string FontFile(const char* face) {
  FcConfig* config = FcInitLoadConfigAndFonts();
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(face));
  FcConfigSubstitute(config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result;
  FcPattern* match = FcFontMatch(config, pattern, &result);
  std::string file;
  FcChar8* value = nullptr;
  if (match != nullptr && FcPatternGetString(match, FC_FILE, 0, &value) == FcResultMatch) {
    file = reinterpret_cast<const char*>(value);
  }
  if (match != nullptr) FcPatternDestroy(match);
  FcPatternDestroy(pattern);
  FcConfigDestroy(config);
  return file;
}

bool HaveLiberation() {
  return FontFile("Arial").find("LiberationSans-Regular") != std::string::npos;
}

TEST(CaptionFontsMeasure, CharacterHeightIsTheEmAndWidthsAreFreeTypesHintedAdvances) {
  if (!HaveLiberation()) GTEST_SKIP() << "fonts-liberation is not installed";
  std::ostringstream warnings;
  CaptionFonts fonts(warnings);
  const char* text = "Quick W\x80ird fox!";  // 0x80: the euro sign in Windows-1252
  for (const int em : {13, 40, 150}) {
    std::vector<CaptionGlyph> glyphs(kMaxCaptionGlyphs);
    CaptionExtent block;
    const int count = fonts.Layout(MakeCaption("Arial", -em, text), glyphs, &block);
    ASSERT_EQ(count, static_cast<int>(std::strlen(text)));

    FT_Library library;
    ASSERT_EQ(FT_Init_FreeType(&library), 0);
    FT_Face face;
    ASSERT_EQ(FT_New_Face(library, FontFile("Arial").c_str(), 0, &face), 0);
    FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(em));
    int x = 0;
    for (int i = 0; i < count; ++i) {
      const char32_t c = i == 7 ? U'\u20AC' : static_cast<unsigned char>(text[i]);
      ASSERT_EQ(FT_Load_Char(face, c, FT_LOAD_DEFAULT), 0);
      EXPECT_EQ(glyphs[static_cast<std::size_t>(i)].x, x) << "em " << em << ", glyph " << i;
      x += static_cast<int>((face->glyph->advance.x + 32) >> 6);
    }
    EXPECT_EQ(block.width, x) << "em " << em;
    // Liberation Sans's cell is 1.117 em (its Windows ascent and descent).
    EXPECT_NEAR(block.height, em * 2288 / 2048, 1) << "em " << em;
    FT_Done_Face(face);
    FT_Done_FreeType(library);
  }
}

TEST(CaptionFontsMeasure, CellHeightIsAscentPlusDescent) {
  if (!HaveLiberation()) GTEST_SKIP() << "fonts-liberation is not installed";
  std::ostringstream warnings;
  CaptionFonts fonts(warnings);
  for (const char* face : {"Arial", "Times New Roman", "Courier New"}) {
    for (const int cell : {12, 60, 100, 333}) {
      std::vector<CaptionGlyph> glyphs(kMaxCaptionGlyphs);
      CaptionExtent block;
      ASSERT_EQ(fonts.Layout(MakeCaption(face, cell, "Hg\r\nHg"), glyphs, &block), 4);
      // Ascent and descent are each rounded from a whole em size, as GDI rounds them.
      EXPECT_NEAR(glyphs[0].height, cell, 1) << face << " " << cell;
      EXPECT_EQ(glyphs[2].y - glyphs[0].y, glyphs[0].height) << face << " " << cell;
      EXPECT_GT(glyphs[0].y, glyphs[0].height / 2);  // the baseline: below the middle
    }
  }
  EXPECT_EQ(warnings.str(), "");  // the Windows faces are Liberation's under their own names

  // A damaged film's font is drawn no larger than the largest stage needs.
  std::vector<CaptionGlyph> glyphs(kMaxCaptionGlyphs);
  CaptionExtent block;
  ASSERT_EQ(fonts.Layout(MakeCaption("Arial", -2'000'000'000, "W"), glyphs, &block), 1);
  EXPECT_LT(block.height, 3000);
  EXPECT_GT(block.height, 1000);
}

TEST(CaptionFontsFaces, MissingFaceWarnsOnceAndStillDraws) {
  std::ostringstream warnings;
  CaptionFonts fonts(warnings);
  const Caption caption = MakeCaption("No Such Face Lumafolio", -30, "Ab");
  std::vector<CaptionGlyph> glyphs(kMaxCaptionGlyphs);
  CaptionExtent block;
  ASSERT_EQ(fonts.Layout(caption, glyphs, &block), 2);
  EXPECT_GT(block.width, 10);
  std::vector<std::uint8_t> bits(300 * 3 * 100, 0);
  const auto canvas = fonts.Canvas(bits.data(), 300, 100);
  CaptionFrame frame;
  frame.glyphs = {{0, 20, 50}, {1, 40, 50}};
  canvas->Draw(caption, std::span(glyphs).first(2), frame);
  Caption bigger = caption;
  bigger.font.height = -60;  // another font of the same face: no second warning
  fonts.Layout(bigger, glyphs, &block);
  EXPECT_NE(std::count(bits.begin(), bits.end(), 255), 0);
  const std::string text = warnings.str();
  EXPECT_EQ(text.rfind("caption font \"No Such Face Lumafolio\" is not installed: using \"", 0), 0)
      << text;
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
}

// A stage whose rows are padded (201 * 3 is not a multiple of 4), read top-down.
class CaptionFontsStage : public ::testing::Test {
 protected:
  static constexpr int kWidth = 201;
  static constexpr int kHeight = 120;
  static constexpr std::size_t kStride = 604;

  void SetUp() override {
    if (!HaveLiberation()) GTEST_SKIP() << "fonts-liberation is not installed";
    bits_.assign(kStride * kHeight, 128);
  }
  // Draws `text` settled at (left, top), through `clip`.
  void DrawText(Caption caption, CaptionClip clip = {}) {
    caption.left = 30;
    caption.top = 20;
    std::vector<CaptionGlyph> glyphs(kMaxCaptionGlyphs);
    CaptionExtent block;
    const int count = fonts_.Layout(caption, glyphs, &block);
    CaptionFrameInput in;
    in.left = caption.left;
    in.top = caption.top;
    in.glyphs = std::span(glyphs).first(static_cast<std::size_t>(count));
    CaptionFrame frame = PlanSettled(in);
    frame.clip = clip;
    fonts_.Canvas(bits_.data(), kWidth, kHeight)->Draw(caption, in.glyphs, frame);
    block_ = block;
  }
  const std::uint8_t* Pixel(int x, int y) const {
    return &bits_[kStride * static_cast<std::size_t>(kHeight - 1 - y) +
                  static_cast<std::size_t>(x) * 3];
  }
  struct Box {
    int left = 1 << 20, top = 1 << 20, right = -1, bottom = -1;
  };
  // The box of the pixels for which `test` holds.
  template <typename Test>
  Box Where(Test test) const {
    Box box;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        if (!test(Pixel(x, y))) continue;
        box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1),
               std::max(box.bottom, y + 1)};
      }
    }
    return box;
  }
  static bool Changed(const std::uint8_t* p) { return p[0] != 128 || p[1] != 128 || p[2] != 128; }
  bool PaddingUntouched() const {
    for (int y = 0; y < kHeight; ++y) {
      if (bits_[kStride * static_cast<std::size_t>(y) + kStride - 1] != 128) return false;
    }
    return true;
  }

  std::ostringstream warnings_;
  CaptionFonts fonts_{warnings_};
  std::vector<std::uint8_t> bits_;
  CaptionExtent block_;
};

TEST_F(CaptionFontsStage, InkLiesInTheBlockOnABottomUpStageAndShadowFallsTwoPixelsDownRight) {
  Caption caption = MakeCaption("Arial", -40, "IH");
  caption.textColour = 0x0000FF;  // red: blue first in the stage's pixels
  DrawText(caption);
  const Box text = Where(Changed);
  EXPECT_NE(Where([](const std::uint8_t* p) { return p[0] == 0 && p[2] == 255; }).right, -1);
  EXPECT_GE(text.top, 20);
  EXPECT_LE(text.bottom, 20 + block_.height);
  EXPECT_GE(text.left, 30);
  EXPECT_LE(text.right, 30 + block_.width);
  EXPECT_GT(text.bottom - text.top, 20);
  EXPECT_TRUE(PaddingUntouched());

  bits_.assign(bits_.size(), 128);
  caption.shadow = 1;
  DrawText(caption);
  const Box all = Where(Changed);
  EXPECT_EQ(all.right, text.right + 2);
  EXPECT_EQ(all.bottom, text.bottom + 2);
  EXPECT_EQ(all.left, text.left);  // nothing of the shadow up or left of the text
  EXPECT_EQ(all.top, text.top);
  EXPECT_NE(Where([](const std::uint8_t* p) { return p[0] == 0 && p[2] == 0; }).right, -1);
}

TEST_F(CaptionFontsStage, ClipKeepsInsideAndHidesOutside) {
  const Caption caption = MakeCaption("Arial", -40, "MMMM");
  DrawText(caption, {CaptionClip::Kind::kRectangle, 50, 0, 90, 45});
  Box box = Where(Changed);
  EXPECT_EQ(box.left, 50);
  EXPECT_EQ(box.right, 90);
  EXPECT_LE(box.bottom, 45);

  bits_.assign(bits_.size(), 128);
  DrawText(caption, {CaptionClip::Kind::kRectangle, 0, 0, 20, 120});  // left of the caption
  EXPECT_EQ(Where(Changed).right, -1);

  // A circle of 50 around (80, 40): its box's corners stay clear, its middle is drawn.
  bits_.assign(bits_.size(), 128);
  DrawText(caption, {CaptionClip::Kind::kEllipse, 55, 15, 105, 65});
  box = Where(Changed);
  EXPECT_GE(box.left, 55);
  EXPECT_LE(box.right, 105);
  for (const auto& [x, y] : {std::pair{56, 16}, {103, 16}, {56, 63}, {103, 63}}) {
    EXPECT_FALSE(Changed(Pixel(x, y))) << x << "," << y;
  }
  EXPECT_GT(Where([](const std::uint8_t* p) { return p[0] == 255; }).right, 80);
}

TEST_F(CaptionFontsStage, UnderlineRunsUnderEachAdvance) {
  Caption caption = MakeCaption("Arial", -40, "  ");
  DrawText(caption);
  EXPECT_EQ(Where(Changed).right, -1);  // spaces leave no ink
  caption.font.underline = 1;
  DrawText(caption);
  const Box line = Where(Changed);
  EXPECT_EQ(line.left, 30);
  EXPECT_EQ(line.right, 30 + block_.width);
  EXPECT_GE(line.top, 20 + block_.height * 3 / 4);  // at the baseline, below the letters
}

TEST_F(CaptionFontsStage, NonAntialiasedQualityDrawsOnlyTheTextColour) {
  Caption caption = MakeCaption("Arial", -40, "Wave");
  const auto between = [](const std::uint8_t* p) { return p[0] != 128 && p[0] != 255; };
  DrawText(caption);
  EXPECT_NE(Where(between).right, -1);  // grey levels at the edges
  bits_.assign(bits_.size(), 128);
  caption.font.quality = 3;  // NONANTIALIASED_QUALITY
  DrawText(caption);
  EXPECT_NE(Where(Changed).right, -1);
  EXPECT_EQ(Where(between).right, -1);
}

}  // namespace
}  // namespace lumafolio::render
