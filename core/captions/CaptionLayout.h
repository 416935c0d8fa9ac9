#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "core/captions/CaptionGlyph.h"

namespace lumafolio {

struct Caption;

// The measurements of the caption's font that layout needs. The player takes them from GDI; a
// renderer elsewhere may take them from any font engine that measures the same way.
struct CaptionFontMetrics {
  std::int32_t ascent = 0;
  std::int32_t descent = 0;
  std::int32_t height = 0;  // ascent + descent: the line height lineSpacing is a percentage of
};

struct CaptionExtent {
  std::int32_t width = 0;
  std::int32_t height = 0;
};

// Measures the characters of one caption in its font.
class CaptionMeasurer {
 public:
  virtual ~CaptionMeasurer() = default;
  virtual CaptionFontMetrics Metrics() const = 0;
  // True when `byte` starts a two-byte character in the text's code page.
  virtual bool IsLeadByte(std::uint8_t byte) const = 0;
  // The extent of one character (one or two bytes) drawn alone.
  virtual CaptionExtent Measure(std::string_view character) const = 0;
};

// Lays out `caption.text` into `glyphs` (at most its size; the rest of the text is dropped) and
// returns the number written. Lines end at "\r\n" only; a lone "\r" or "\n" is a character. Each
// line is aligned within the block (0 left, 2 right, anything else centred). When `size` is not
// null it receives the block's width and height.
int LayoutCaption(const Caption& caption, const CaptionMeasurer& measurer,
                  std::span<CaptionGlyph> glyphs, CaptionExtent* size);

}  // namespace lumafolio
