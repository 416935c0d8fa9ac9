#pragma once

#include <cstdint>

namespace lumafolio {

// One laid-out character of a caption. Positions are relative to the caption's own left and top
// edges, so that an effect can move the whole caption by moving its origin.
struct CaptionGlyph {
  std::uint16_t code = 0;  // a single byte, or lead byte * 256 + trail byte
  std::uint16_t line = 0;  // non-empty lines before this one
  std::int32_t x = 0;      // left edge, after alignment
  std::int32_t y = 0;      // baseline
  std::int32_t width = 0;  // advance as measured
  std::int32_t height = 0;
};

// A caption's text holds at most 256 bytes, so it never lays out into more glyphs than this.
constexpr int kMaxCaptionGlyphs = 256;

}  // namespace lumafolio
