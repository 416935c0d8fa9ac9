#include "core/captions/CaptionLayout.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "core/film/FilmDocument.h"

namespace lumafolio {
namespace {

// Coordinates from a damaged film (a huge font, a huge line spacing) are kept in range rather
// than allowed to wrap: the caption then lands off the stage instead of somewhere arbitrary.
std::int32_t Clamp32(std::int64_t value) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(
      value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

std::int32_t AlignmentOffset(int alignment, std::int32_t blockWidth, std::int32_t lineWidth) {
  const std::int64_t spare = static_cast<std::int64_t>(blockWidth) - lineWidth;
  return Clamp32(alignment == 2 ? spare : spare / 2);
}

}  // namespace

int LayoutCaption(const Caption& caption, const CaptionMeasurer& measurer,
                  std::span<CaptionGlyph> glyphs, CaptionExtent* size) {
  const CaptionFontMetrics metrics = measurer.Metrics();
  const std::string_view text = caption.text;
  const std::int64_t lineAdvance =
      static_cast<std::int64_t>(caption.lineSpacing) * metrics.height / 100;

  std::vector<std::int32_t> lineWidths;  // of the non-empty lines, in order
  std::int64_t x = 0;
  std::int64_t y = metrics.ascent;
  int count = 0;
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      if (x > 0) lineWidths.push_back(Clamp32(x));
      x = 0;
      y += lineAdvance;
      i += 2;
      continue;
    }
    const bool pair =
        measurer.IsLeadByte(static_cast<std::uint8_t>(text[i])) && i + 1 < text.size();
    const std::string_view character = text.substr(i, pair ? 2 : 1);
    i += character.size();
    if (count == static_cast<int>(glyphs.size())) continue;  // no room: neither drawn nor measured

    const CaptionExtent extent = measurer.Measure(character);
    CaptionGlyph& glyph = glyphs[static_cast<std::size_t>(count++)];
    glyph.code = pair ? static_cast<std::uint16_t>(static_cast<std::uint8_t>(character[0]) << 8 |
                                                   static_cast<std::uint8_t>(character[1]))
                      : static_cast<std::uint8_t>(character[0]);
    glyph.line = static_cast<std::uint16_t>(lineWidths.size());
    glyph.x = Clamp32(x);
    glyph.y = Clamp32(y);
    glyph.width = extent.width;
    glyph.height = extent.height;
    x += extent.width;
  }
  if (x > 0) lineWidths.push_back(Clamp32(x));

  const std::int32_t blockWidth =
      lineWidths.empty() ? 0 : *std::max_element(lineWidths.begin(), lineWidths.end());
  if (size != nullptr) *size = {blockWidth, Clamp32(y + metrics.descent)};

  if (caption.alignment != 0) {
    for (CaptionGlyph& glyph : glyphs.first(static_cast<std::size_t>(count))) {
      // A line whose characters all measure 0 wide has no width of its own: it counts as empty.
      const std::int32_t lineWidth = glyph.line < lineWidths.size() ? lineWidths[glyph.line] : 0;
      glyph.x = Clamp32(static_cast<std::int64_t>(glyph.x) +
                        AlignmentOffset(caption.alignment, blockWidth, lineWidth));
    }
  }
  return count;
}

}  // namespace lumafolio
