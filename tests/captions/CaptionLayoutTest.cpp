#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "core/captions/CaptionLayout.h"
#include "core/film/FilmDocument.h"

namespace lumafolio {
namespace {

// A font of ascent 16, descent 4, where a character is 10 pixels wide per byte, except 'W' (25)
// and 'i' (0), and 0x82 starts a two-byte character.
class FakeMeasurer final : public CaptionMeasurer {
 public:
  CaptionFontMetrics Metrics() const override { return metrics; }
  bool IsLeadByte(std::uint8_t byte) const override { return byte == 0x82; }
  CaptionExtent Measure(std::string_view character) const override {
    measured.emplace_back(character);
    if (character == "W") return {25, 20};
    if (character == "i") return {0, 20};
    return {static_cast<std::int32_t>(10 * character.size()), 20};
  }
  CaptionFontMetrics metrics{16, 4, 20};
  mutable std::vector<std::string> measured;
};

struct Laid {
  std::vector<CaptionGlyph> glyphs;
  CaptionExtent block;
};

Laid Lay(const std::string& text, int alignment = 0, int lineSpacing = 100,
         const FakeMeasurer& measurer = FakeMeasurer(), std::size_t room = kMaxCaptionGlyphs) {
  Caption caption;
  caption.text = text;
  caption.alignment = alignment;
  caption.lineSpacing = lineSpacing;
  std::vector<CaptionGlyph> glyphs(room);
  Laid laid;
  glyphs.resize(static_cast<std::size_t>(LayoutCaption(caption, measurer, glyphs, &laid.block)));
  laid.glyphs = glyphs;
  return laid;
}

TEST(CaptionLayout, LinesBreakAtCrLfAndEmptyLinesTakeNoNumber) {
  const Laid laid = Lay("AW\r\n\r\nC");
  ASSERT_EQ(laid.glyphs.size(), 3u);
  const CaptionGlyph& c = laid.glyphs[2];
  EXPECT_EQ(laid.glyphs[1].x, 10);
  EXPECT_EQ(laid.glyphs[1].y, 16);
  EXPECT_EQ(laid.glyphs[1].line, 0);
  // Two line heights below the first line, but only the second line with width.
  EXPECT_EQ(c.line, 1);
  EXPECT_EQ(c.x, 0);
  EXPECT_EQ(c.y, 56);
  EXPECT_EQ(laid.block.width, 35);
  EXPECT_EQ(laid.block.height, 60);

  // Half the line spacing; a lone "\r" or "\n" is a character like any other.
  const Laid half = Lay("A\r\nB\rC\nD", 0, 50);
  ASSERT_EQ(half.glyphs.size(), 6u);
  EXPECT_EQ(half.glyphs[1].y, 26);
  EXPECT_EQ(half.glyphs[2].code, '\r');
  EXPECT_EQ(half.glyphs[4].code, '\n');
  EXPECT_EQ(half.block.width, 50);
}

TEST(CaptionLayout, AlignmentMovesEachLineWithinTheBlock) {
  // Lines 35 and 10 wide: the short one moves by 0, 12, 25, 12 for alignments 0, 1, 2, 7.
  for (auto [alignment, x] : {std::pair{0, 0}, {1, 12}, {2, 25}, {7, 12}}) {
    const Laid laid = Lay("AW\r\nC", alignment);
    EXPECT_EQ(laid.glyphs[0].x, 0) << alignment;
    EXPECT_EQ(laid.glyphs[2].x, x) << alignment;
  }
  // A line whose characters measure 0 wide counts as empty: it shares the next line's number,
  // and alignment moves it as a line of no width, never past the table of widths.
  const Laid zero = Lay("WW\r\ni", 2);
  EXPECT_EQ(zero.glyphs[2].line, 1);
  EXPECT_EQ(zero.glyphs[2].x, 50);
}

TEST(CaptionLayout, TwoByteCharactersAreOneGlyph) {
  FakeMeasurer measurer;
  const Laid laid = Lay("\x82\xA0X\x82", 0, 100, measurer);
  ASSERT_EQ(laid.glyphs.size(), 3u);
  EXPECT_EQ(laid.glyphs[0].code, 0x82A0);
  EXPECT_EQ(laid.glyphs[1].x, 20);
  // A lead byte with nothing after it is a character of its own.
  EXPECT_EQ(laid.glyphs[2].code, 0x82);
  EXPECT_EQ(measurer.measured, (std::vector<std::string>{"\x82\xA0", "X", "\x82"}));
}

TEST(CaptionLayout, DamagedCaptionsStayInTheirArraysAndRanges) {
  // Fewer glyphs than characters fit: the rest are dropped, and the block is what was laid out.
  const Laid few = Lay("ABCDE", 0, 100, FakeMeasurer(), 2);
  EXPECT_EQ(few.glyphs.size(), 2u);
  EXPECT_EQ(few.block.width, 20);

  // Huge fonts and spacings, negative spacings: no overflow (the sanitizers watch), the values
  // clamp rather than wrap.
  FakeMeasurer huge;
  huge.metrics = {2'000'000'000, 2'000'000'000, 2'000'000'000};
  const Laid tall = Lay("A\r\nB\r\nC", 0, 2'000'000'000, huge);
  EXPECT_EQ(tall.glyphs[2].y, 2'147'483'647);
  const Laid upward = Lay("A\r\nB", 0, -100);
  EXPECT_EQ(upward.glyphs[1].y, -4);
  EXPECT_EQ(upward.block.height, 0);
  EXPECT_TRUE(Lay("").glyphs.empty());
}

}  // namespace
}  // namespace lumafolio
