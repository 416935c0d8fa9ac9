#include "tools/render/CaptionFonts.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H
#include FT_TRUETYPE_TAGS_H

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <optional>
#include <set>
#include <string_view>
#include <tuple>
#include <vector>

#include "core/film/FilmDocument.h"
#include "tools/filmtool/Cp1252.h"

namespace lumafolio::render {
namespace {

// GDI's weights: FW_DONTCARE (0) is drawn as FW_NORMAL, and from FW_SEMIBOLD up a face is bold.
constexpr int kNormalWeight = 400;
constexpr int kBoldWeight = 600;
// lfQuality NONANTIALIASED_QUALITY: the only value that turns anti-aliasing off under wine (the
// films' usual 0 and 1, default and draft, leave it to the system, which smooths).
constexpr std::uint8_t kNonAntialiasedQuality = 3;
// The height GDI gives a font asked for with lfHeight 0.
constexpr int kDefaultCellHeight = 16;
// The largest em drawn: taller than any stage a caption is scaled to, small enough that a
// damaged film's huge font cannot make each cached glyph hundreds of megabytes.
constexpr std::int64_t kMaxEm = 2048;

// Every byte of the text as the Unicode character Windows-1252 makes of it.
std::array<char32_t, 256> MakeCodePoints() {
  std::array<char32_t, 256> table{};
  for (int byte = 0; byte < 256; ++byte) {
    const std::string utf8 = Cp1252ToUtf8(std::string(1, static_cast<char>(byte)));
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    char32_t c = s[0];
    if (utf8.size() == 2) c = (s[0] & 0x1Fu) << 6 | (s[1] & 0x3Fu);
    if (utf8.size() == 3) c = (s[0] & 0x0Fu) << 12 | (s[1] & 0x3Fu) << 6 | (s[2] & 0x3Fu);
    table[static_cast<std::size_t>(byte)] = c;
  }
  return table;
}

const std::array<char32_t, 256>& CodePoints() {
  static const std::array<char32_t, 256> table = MakeCodePoints();
  return table;
}

// The face name as far as its NUL (a film's need not have one inside its 32 bytes), in UTF-8.
std::string FaceName(const LogFontA& font) {
  const auto end = std::find(font.faceName.begin(), font.faceName.end(), '\0');
  return Cp1252ToUtf8(std::string_view(font.faceName.data(),
                                       static_cast<std::size_t>(end - font.faceName.begin())));
}

bool SameName(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

// What makes two LOGFONTs draw differently here.
struct FontKey {
  std::string face;
  std::int32_t height;
  std::int32_t weight;
  bool italic;
  bool underline;
  bool strikeOut;
  bool antialiased;
  auto operator<=>(const FontKey&) const = default;
};

FontKey KeyOf(const LogFontA& font) {
  return {FaceName(font),
          font.height,
          font.weight == 0 ? kNormalWeight : font.weight,
          font.italic != 0,
          font.underline != 0,
          font.strikeOut != 0,
          font.quality != kNonAntialiasedQuality};
}

// One character rasterised: coverage in 17 levels (0 none, 16 full), as GDI's anti-aliased text
// is drawn, at an offset from the baseline point.
struct Glyph {
  std::int32_t advance = 0;
  std::int32_t left = 0;  // of the bitmap, from the pen position
  std::int32_t top = 0;   // of the bitmap, above the baseline
  std::int32_t width = 0;
  std::int32_t rows = 0;
  std::vector<std::uint8_t> levels;
};

// A horizontal bar drawn under (or through) each character's advance: GDI's underline and
// strike-out.
struct Bar {
  std::int32_t top = 0;  // relative to the baseline, downwards
  std::int32_t thickness = 0;
};

std::int32_t RoundDiv(std::int64_t a, std::int64_t b) {
  if (b == 0) return 0;
  return static_cast<std::int32_t>(a >= 0 ? (a + b / 2) / b : -((-a + b / 2) / b));
}

// Whether the font's gasp table lets it be drawn in grey levels at `ppem` (GDI draws small sizes
// of the usual faces in black and white because of it). Without a table it does.
bool GaspAllowsGrey(FT_Face face, std::int64_t ppem) {
  FT_ULong length = 0;
  if (FT_Load_Sfnt_Table(face, TTAG_gasp, 0, nullptr, &length) != 0 || length < 4) return true;
  std::vector<FT_Byte> table(length);
  if (FT_Load_Sfnt_Table(face, TTAG_gasp, 0, table.data(), &length) != 0) return true;
  const auto word = [&](std::size_t at) { return table[at] << 8 | table[at + 1]; };
  const std::size_t ranges = static_cast<std::size_t>(word(2));
  for (std::size_t i = 0; i < ranges && 8 + i * 4 <= length; ++i) {
    if (ppem <= word(4 + i * 4)) return (word(6 + i * 4) & 0x0002) != 0;  // GASP_DOGRAY
  }
  return true;
}

class Font final : public CaptionMeasurer {
 public:
  // `face` is the font fontconfig chose; `synthBold`/`synthItalic` when it lacks that style.
  Font(FT_Face face, const FontKey& key, bool synthBold, bool synthItalic)
      : face_(face),
        antialiased_(key.antialiased),
        synthBold_(synthBold),
        synthItalic_(synthItalic) {
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face_, FT_SFNT_OS2));
    const std::int64_t upem = face_->units_per_EM > 0 ? face_->units_per_EM : 2048;
    std::int64_t winAscent = face_->ascender;
    std::int64_t winDescent = -face_->descender;
    if (os2 != nullptr && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
      winAscent = os2->usWinAscent;
      winDescent = os2->usWinDescent;
    }
    if (winAscent + winDescent <= 0) {
      winAscent = upem * 4 / 5;
      winDescent = upem / 5;
    }
    // Negative: the em size. Positive: the cell, ascent + descent, which sets the em size.
    const std::int64_t height = key.height == 0 ? kDefaultCellHeight : key.height;
    std::int64_t ppem = height < 0 ? -height : RoundDiv(upem * height, winAscent + winDescent);
    // A cell rounded up past the height asked for takes the em size below, as GDI does.
    if (height > 0 && ppem > 1 && RoundDiv((winAscent + winDescent) * ppem, upem) > height) --ppem;
    ppem = std::clamp<std::int64_t>(ppem, 1, kMaxEm);
    FT_Set_Pixel_Sizes(face_, 0, static_cast<FT_UInt>(ppem));
    // Both from the em size, each rounded: a cell of 100 pixels in Times New Roman is one pixel
    // short, as GDI measures it too.
    metrics_.ascent = RoundDiv(winAscent * ppem, upem);
    metrics_.descent = RoundDiv(winDescent * ppem, upem);
    metrics_.height = metrics_.ascent + metrics_.descent;
    ppem_ = static_cast<std::int32_t>(ppem);
    antialiased_ = antialiased_ && GaspAllowsGrey(face_, ppem);

    // Lines, placed by their top edge: the post table's underline position (as stored, not as
    // FreeType adjusts it) and the OS/2 table's strike-out, each less half the line's thickness;
    // a line is at least a pixel thick.
    const auto scale = [&](std::int64_t units) { return RoundDiv(units * ppem, upem); };
    if (key.underline) {
      const auto* post = static_cast<const TT_Postscript*>(FT_Get_Sfnt_Table(face_, FT_SFNT_POST));
      const std::int64_t position =
          post != nullptr ? static_cast<FT_Short>(post->underlinePosition)
                          : face_->underline_position + face_->underline_thickness / 2;
      const std::int32_t thickness = std::max(1, scale(face_->underline_thickness));
      underline_ = Bar{-scale(position) - thickness / 2, thickness};
    }
    if (key.strikeOut) {
      const std::int32_t thickness =
          std::max(1, os2 != nullptr && os2->version != 0xFFFF ? scale(os2->yStrikeoutSize)
                                                               : scale(face_->underline_thickness));
      const std::int32_t position = os2 != nullptr && os2->version != 0xFFFF
                                        ? scale(os2->yStrikeoutPosition)
                                        : metrics_.ascent / 3;
      strikeOut_ = Bar{-position - thickness / 2, thickness};
    }
  }
  ~Font() override { FT_Done_Face(face_); }
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;

  CaptionFontMetrics Metrics() const override { return metrics_; }
  bool IsLeadByte(std::uint8_t) const override { return false; }  // Windows-1252: one byte each
  CaptionExtent Measure(std::string_view character) const override {
    if (character.empty()) return {0, metrics_.height};
    return {GlyphOf(static_cast<std::uint8_t>(character[0])).advance, metrics_.height};
  }

  const Glyph& GlyphOf(std::uint8_t byte) const {
    std::unique_ptr<Glyph>& slot = glyphs_[byte];
    if (!slot) slot = std::make_unique<Glyph>(Rasterise(CodePoints()[byte]));
    return *slot;
  }
  const std::optional<Bar>& Underline() const { return underline_; }
  const std::optional<Bar>& StrikeOut() const { return strikeOut_; }

 private:
  Glyph Rasterise(char32_t c) const {
    Glyph glyph;
    const FT_UInt index = FT_Get_Char_Index(face_, c);
    // Measured as hinted for grey levels, in whole pixels, whatever the drawing: that is what
    // GDI measures a character by.
    if (FT_Load_Glyph(face_, index, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) != 0) return glyph;
    FT_GlyphSlot slot = face_->glyph;
    FT_Pos advance = slot->advance.x;
    // Black and white is drawn from the outline hinted for it.
    if (!antialiased_ &&
        FT_Load_Glyph(face_, index, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_MONO) !=
            0) {
      return glyph;
    }
    if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
      if (synthBold_) {
        // A face without a bold style is thickened by a 24th of its em, and each character
        // takes a pixel more room, as GDI does under wine.
        FT_Outline_Embolden(&slot->outline, static_cast<FT_Pos>(ppem_) * 64 / 24);
        advance += 64;
      }
      if (synthItalic_) {
        FT_Matrix shear{0x10000, 0x4000, 0, 0x10000};  // leans a quarter of the height
        FT_Outline_Transform(&slot->outline, &shear);
      }
    }
    glyph.advance = static_cast<std::int32_t>((advance + 32) >> 6);
    if (FT_Render_Glyph(slot, antialiased_ ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_MONO) != 0) {
      return glyph;
    }
    const FT_Bitmap& bitmap = slot->bitmap;
    glyph.left = slot->bitmap_left;
    glyph.top = slot->bitmap_top;
    glyph.width = static_cast<std::int32_t>(bitmap.width);
    glyph.rows = static_cast<std::int32_t>(bitmap.rows);
    glyph.levels.resize(static_cast<std::size_t>(glyph.width) * glyph.rows);
    for (std::int32_t y = 0; y < glyph.rows; ++y) {
      const unsigned char* row = bitmap.buffer + static_cast<std::ptrdiff_t>(y) * bitmap.pitch;
      std::uint8_t* out = glyph.levels.data() + static_cast<std::size_t>(y) * glyph.width;
      for (std::int32_t x = 0; x < glyph.width; ++x) {
        if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
          out[x] = (row[x >> 3] >> (7 - (x & 7)) & 1) != 0 ? 16 : 0;
        } else {
          out[x] = static_cast<std::uint8_t>(row[x] * 17 / 256);  // 17 levels, as GDI cuts them
        }
      }
    }
    return glyph;
  }

  FT_Face face_;
  bool antialiased_;
  bool synthBold_;
  bool synthItalic_;
  std::int32_t ppem_ = 0;
  CaptionFontMetrics metrics_;
  std::optional<Bar> underline_;
  std::optional<Bar> strikeOut_;
  mutable std::array<std::unique_ptr<Glyph>, 256> glyphs_;
};

// How GDI blends a coverage level of anti-aliased text with what is under it, one colour
// component at a time: not a linear mix but a ramp that lets light text on dark ground (and
// dark on light) keep its weight.
constexpr std::array<std::uint8_t, 17> kRamp = {0,    0x4d, 0x68, 0x7c, 0x8c, 0x9a,
                                                0xa7, 0xb2, 0xbd, 0xc7, 0xd0, 0xd9,
                                                0xe1, 0xe9, 0xf0, 0xf8, 0xff};

std::uint8_t Blend(std::uint8_t dst, std::uint8_t text, int level) {
  if (level >= 16) return text;
  // The faintest level is left undrawn, as GDI leaves it.
  if (level <= 1 || dst == text) return dst;
  const unsigned t = text;
  if (dst > text) {
    const unsigned max = kRamp[16 - level] + (0xFFu - kRamp[16 - level]) * t / 0xFF;
    return static_cast<std::uint8_t>(t + (dst - t) * (max - t) / (0xFFu - t));
  }
  const unsigned min = kRamp[level] * t / 0xFF;
  return static_cast<std::uint8_t>(t - (t - dst) * (t - min) / t);
}

// For one colour: what each level makes of each value of each component (blue, green, red).
struct BlendTable {
  explicit BlendTable(std::uint32_t colourRef) {
    const std::array<std::uint8_t, 3> text = {static_cast<std::uint8_t>(colourRef >> 16 & 0xFF),
                                              static_cast<std::uint8_t>(colourRef >> 8 & 0xFF),
                                              static_cast<std::uint8_t>(colourRef & 0xFF)};
    for (int c = 0; c < 3; ++c) {
      for (int level = 0; level <= 16; ++level) {
        for (int v = 0; v < 256; ++v) {
          table[c][level][v] = Blend(static_cast<std::uint8_t>(v), text[c], level);
        }
      }
    }
  }
  std::uint8_t table[3][17][256];
};

// Which pixels of a row the frame's clip lets through, as [from, to).
class ClipMask {
 public:
  ClipMask(const CaptionClip& clip, std::int32_t width, std::int32_t height)
      : clip_(clip), width_(width), height_(height) {
    if (clip.kind == CaptionClip::Kind::kEllipse) RoundRegion();
  }

  bool Row(std::int32_t y, std::int32_t* from, std::int32_t* to) const {
    *from = 0;
    *to = width_;
    if (y < 0 || y >= height_) return false;
    switch (clip_.kind) {
      case CaptionClip::Kind::kNone:
        return true;
      case CaptionClip::Kind::kRectangle:
        return Narrow(y, clip_.top, clip_.bottom, clip_.left, clip_.right, from, to);
      case CaptionClip::Kind::kEllipse:
        if (!spans_.empty()) {
          const std::int64_t row = static_cast<std::int64_t>(y) - spansTop_;
          if (row < 0 || row >= static_cast<std::int64_t>(spans_.size())) return false;
          const Span& span = spans_[static_cast<std::size_t>(row)];
          return Narrow(y, y, y + 1, span.left, span.right, from, to);
        }
        return Narrow(y, rect_.top, rect_.bottom, rect_.left, rect_.right, from, to);
    }
    return false;
  }

 private:
  struct Span {
    std::int64_t left = 0;
    std::int64_t right = 0;  // excluded
  };

  static bool Narrow(std::int64_t y, std::int64_t top, std::int64_t bottom, std::int64_t left,
                     std::int64_t right, std::int32_t* from, std::int32_t* to) {
    if (y < top || y >= bottom) return false;
    *from = static_cast<std::int32_t>(std::max<std::int64_t>(*from, left));
    *to = static_cast<std::int32_t>(std::min<std::int64_t>(*to, right));
    return *from < *to;
  }

  // The rows of the region GDI makes for an ellipse: a round-cornered rectangle whose corners
  // are as wide and high as the whole box, traced with integer steps, the box's right column
  // and bottom row left out. Pixel for pixel as GDI clips, so that an iris's edge matches.
  void RoundRegion() {
    std::int64_t left = std::min(clip_.left, clip_.right);
    std::int64_t right = std::max(clip_.left, clip_.right) - 1;
    std::int64_t top = std::min(clip_.top, clip_.bottom);
    std::int64_t bottom = std::max(clip_.top, clip_.bottom) - 1;
    rect_ = {CaptionClip::Kind::kRectangle, static_cast<std::int32_t>(left),
             static_cast<std::int32_t>(top), static_cast<std::int32_t>(right),
             static_cast<std::int32_t>(bottom)};
    const std::int64_t width = right - left;
    const std::int64_t height = bottom - top;
    // Too small to be round: a rectangle. Too large to be traced in a frame's time (a damaged
    // film's): also a rectangle, the stage is inside it anyway.
    if (width < 2 || height < 2 || width > (1 << 20) || height > (1 << 20)) return;
    spans_.assign(static_cast<std::size_t>(height), Span{});
    spansTop_ = top;
    const std::int64_t a = width - 1;
    const std::int64_t b = height - 1;
    const std::int64_t asq = 8 * a * a;
    const std::int64_t bsq = 8 * b * b;
    std::int64_t dx = 4 * b * b * (1 - a);
    std::int64_t dy = 4 * a * a * (1 + b % 2);
    std::int64_t err = dx + dy + a * a * (b % 2);
    std::int64_t x = 0;
    std::int64_t y = height / 2;
    spans_[static_cast<std::size_t>(y)] = {left, right};
    while (x <= width / 2) {
      const std::int64_t e2 = 2 * err;
      if (e2 >= dx) {
        ++x;
        dx += bsq;
        err += dx;
      }
      if (e2 <= dy) {
        ++y;
        dy += asq;
        err += dy;
        if (y < height) spans_[static_cast<std::size_t>(y)] = {left + x, right - x};
      }
    }
    for (std::int64_t i = 0; i < height / 2; ++i) {
      spans_[static_cast<std::size_t>(i)] = spans_[static_cast<std::size_t>(b - i)];
    }
  }

  CaptionClip clip_;
  std::int32_t width_;
  std::int32_t height_;
  CaptionClip rect_;
  std::vector<Span> spans_;
  std::int64_t spansTop_ = 0;
};

class Stage {
 public:
  Stage(std::uint8_t* bits, std::int32_t width, std::int32_t height)
      : bits_(bits),
        width_(width),
        height_(height),
        stride_((static_cast<std::size_t>(width) * 3 + 3) & ~static_cast<std::size_t>(3)) {}

  // `glyph` with its pen at (x, y), through `clip`.
  void DrawGlyph(const Glyph& glyph, std::int64_t x, std::int64_t y, const BlendTable& colour,
                 const ClipMask& clip) {
    const std::int64_t left = x + glyph.left;
    const std::int64_t top = y - glyph.top;
    for (std::int32_t row = 0; row < glyph.rows; ++row) {
      const std::int64_t sy = top + row;
      if (sy < 0 || sy >= height_) continue;
      std::int32_t from = 0;
      std::int32_t to = 0;
      if (!clip.Row(static_cast<std::int32_t>(sy), &from, &to)) continue;
      const std::int64_t x0 = std::max<std::int64_t>(left, from);
      const std::int64_t x1 = std::min<std::int64_t>(left + glyph.width, to);
      const std::uint8_t* levels =
          glyph.levels.data() + static_cast<std::size_t>(row) * glyph.width;
      std::uint8_t* pixel = RowOf(static_cast<std::int32_t>(sy)) + x0 * 3;
      for (std::int64_t sx = x0; sx < x1; ++sx, pixel += 3) {
        const int level = levels[sx - left];
        if (level <= 1) continue;
        pixel[0] = colour.table[0][level][pixel[0]];
        pixel[1] = colour.table[1][level][pixel[1]];
        pixel[2] = colour.table[2][level][pixel[2]];
      }
    }
  }

  void FillBar(std::int64_t x, std::int64_t width, std::int64_t y, const Bar& bar,
               const BlendTable& colour, const ClipMask& clip) {
    for (std::int64_t sy = y + bar.top; sy < y + bar.top + bar.thickness; ++sy) {
      if (sy < 0 || sy >= height_) continue;
      std::int32_t from = 0;
      std::int32_t to = 0;
      if (!clip.Row(static_cast<std::int32_t>(sy), &from, &to)) continue;
      const std::int64_t x0 = std::max<std::int64_t>(x, from);
      const std::int64_t x1 = std::min<std::int64_t>(x + width, to);
      std::uint8_t* pixel = RowOf(static_cast<std::int32_t>(sy)) + x0 * 3;
      for (std::int64_t sx = x0; sx < x1; ++sx, pixel += 3) {
        pixel[0] = colour.table[0][16][pixel[0]];
        pixel[1] = colour.table[1][16][pixel[1]];
        pixel[2] = colour.table[2][16][pixel[2]];
      }
    }
  }

 private:
  std::uint8_t* RowOf(std::int32_t y) const {  // rows are stored bottom-up
    return bits_ + stride_ * static_cast<std::size_t>(height_ - 1 - y);
  }

  std::uint8_t* bits_;
  std::int32_t width_;
  std::int32_t height_;
  std::size_t stride_;
};

}  // namespace

class CaptionFonts::Impl {
 public:
  explicit Impl(std::ostream& warnings) : warnings_(warnings) {
    if (FT_Init_FreeType(&library_) != 0) library_ = nullptr;
    config_ = FcInitLoadConfigAndFonts();
  }
  ~Impl() {
    fonts_.clear();
    if (library_ != nullptr) FT_Done_FreeType(library_);
    if (config_ != nullptr) FcConfigDestroy(config_);
  }
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;

  // Draws onto one stage with this object's fonts.
  class StageCanvas final : public CaptionCanvas {
   public:
    StageCanvas(Impl& fonts, std::uint8_t* bits, int width, int height)
        : fonts_(fonts),
          stage_(bits, width, height),
          width_(width),
          height_(height),
          usable_(bits != nullptr && width > 0 && height > 0) {}
    void Draw(const Caption& caption, std::span<const CaptionGlyph> glyphs,
              const CaptionFrame& frame) override {
      if (usable_) fonts_.Draw(caption, glyphs, frame, stage_, width_, height_);
    }

   private:
    Impl& fonts_;
    Stage stage_;
    std::int32_t width_;
    std::int32_t height_;
    bool usable_;
  };

  // The font for `logFont`, made on first use; null when no font can be had at all.
  Font* FontFor(const LogFontA& logFont) {
    FontKey key = KeyOf(logFont);
    const auto found = fonts_.find(key);
    if (found != fonts_.end()) return found->second.get();
    std::unique_ptr<Font>& font = fonts_[key];
    font = Open(key);
    return font.get();
  }

  void Draw(const Caption& caption, std::span<const CaptionGlyph> glyphs, const CaptionFrame& frame,
            Stage& stage, std::int32_t width, std::int32_t height) {
    Font* font = FontFor(caption.font);
    if (font == nullptr || frame.glyphs.empty()) return;
    const ClipMask clip(frame.clip, width, height);
    const BlendTable& black = BlendFor(0);
    const BlendTable& colour = BlendFor(caption.textColour & 0xFFFFFF);
    for (const PlacedGlyph& placed : frame.glyphs) {
      if (placed.index < 0 || static_cast<std::size_t>(placed.index) >= glyphs.size()) continue;
      const CaptionGlyph& laid = glyphs[static_cast<std::size_t>(placed.index)];
      if (laid.code > 0xFF) continue;  // no two-byte characters in this code page
      const Glyph& glyph = font->GlyphOf(static_cast<std::uint8_t>(laid.code));
      // Each character is drawn whole, shadow first, as the player draws one TextOut per
      // character: a shadow falls on the characters before it, not on those after.
      if (caption.shadow != 0)
        DrawOne(stage, *font, glyph, placed.x + 2, placed.y + 2, black, clip);
      DrawOne(stage, *font, glyph, placed.x, placed.y, colour, clip);
    }
  }

 private:
  static void DrawOne(Stage& stage, const Font& font, const Glyph& glyph, std::int64_t x,
                      std::int64_t y, const BlendTable& colour, const ClipMask& clip) {
    stage.DrawGlyph(glyph, x, y, colour, clip);
    if (font.Underline()) stage.FillBar(x, glyph.advance, y, *font.Underline(), colour, clip);
    if (font.StrikeOut()) stage.FillBar(x, glyph.advance, y, *font.StrikeOut(), colour, clip);
  }

  // Tables are kept per colour: making one costs more than drawing a caption with it.
  const BlendTable& BlendFor(std::uint32_t colour) {
    std::unique_ptr<BlendTable>& table = blends_[colour];
    if (!table) table = std::make_unique<BlendTable>(colour);
    return *table;
  }

  std::unique_ptr<Font> Open(const FontKey& key) {
    if (library_ == nullptr || config_ == nullptr) return nullptr;
    FcPattern* pattern = FcPatternCreate();
    if (pattern == nullptr) return nullptr;
    const bool bold = key.weight >= kBoldWeight;
    if (!key.face.empty()) {
      FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(key.face.c_str()));
    }
    FcPatternAddDouble(pattern, FC_WEIGHT,
                       FcWeightFromOpenTypeDouble(std::clamp(key.weight, 1, 1000)));
    FcPatternAddInteger(pattern, FC_SLANT, key.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(config_, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config_, pattern, &result);

    std::unique_ptr<Font> font;
    std::string used;
    if (match != nullptr) {
      FcChar8* file = nullptr;
      FcChar8* family = nullptr;
      int index = 0;
      FcPatternGetString(match, FC_FAMILY, 0, &family);
      FcPatternGetInteger(match, FC_INDEX, 0, &index);
      if (family != nullptr) used = reinterpret_cast<const char*>(family);
      FT_Face face = nullptr;
      if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch &&
          FT_New_Face(library_, reinterpret_cast<const char*>(file), index, &face) == 0) {
        FT_Select_Charmap(face, FT_ENCODING_UNICODE);
        // The face's own style, not the match's: fontconfig marks a regular face chosen for a
        // bold request as bold (and to be emboldened) itself.
        const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
        const bool faceBold =
            (face->style_flags & FT_STYLE_FLAG_BOLD) != 0 ||
            (os2 != nullptr && os2->version != 0xFFFF && os2->usWeightClass >= kBoldWeight);
        const bool faceItalic = (face->style_flags & FT_STYLE_FLAG_ITALIC) != 0;
        font = std::make_unique<Font>(face, key, bold && !faceBold, key.italic && !faceItalic);
      }
      if (!key.face.empty() && !IsStandIn(pattern, match)) {
        Warn(key.face,
             "caption font \"" + key.face + "\" is not installed: using \"" + used + "\"");
      }
      FcPatternDestroy(match);
    }
    if (font == nullptr) {
      Warn(key.face, "caption font \"" + key.face +
                         "\" cannot be found, nor any other font: " + "its captions are left out");
    }
    FcPatternDestroy(pattern);
    return font;
  }

  // Whether `match` is the face asked for or one fontconfig holds to be the same face under
  // another name (Liberation Sans for Arial: same widths, same heights), bound as strongly as
  // the name asked for. A generic fallback (DejaVu Sans for any sans-serif) is bound weakly.
  // A face may have several names (DejaVu Sans is also DejaVu Sans Condensed): any will do.
  static bool IsStandIn(FcPattern* substituted, FcPattern* match) {
    FcValue value;
    FcValueBinding binding;
    for (int i = 0;
         FcPatternGetWithBinding(substituted, FC_FAMILY, i, &value, &binding) == FcResultMatch;
         ++i) {
      if (binding == FcValueBindingWeak) break;
      if (value.type != FcTypeString) continue;
      const std::string_view asked = reinterpret_cast<const char*>(value.u.s);
      FcChar8* name = nullptr;
      for (int j = 0; FcPatternGetString(match, FC_FAMILY, j, &name) == FcResultMatch; ++j) {
        if (SameName(asked, reinterpret_cast<const char*>(name))) return true;
      }
    }
    return false;
  }

  void Warn(const std::string& face, const std::string& message) {
    if (warned_.insert(face).second) warnings_ << message << '\n';
  }

  std::ostream& warnings_;
  FT_Library library_ = nullptr;
  FcConfig* config_ = nullptr;
  std::map<FontKey, std::unique_ptr<Font>> fonts_;
  std::set<std::string> warned_;
  std::map<std::uint32_t, std::unique_ptr<BlendTable>> blends_;
};

CaptionFonts::CaptionFonts(std::ostream& warnings) : impl_(std::make_unique<Impl>(warnings)) {}
CaptionFonts::~CaptionFonts() = default;

int CaptionFonts::Layout(const Caption& caption, std::span<CaptionGlyph> glyphs,
                         CaptionExtent* size) {
  if (size != nullptr) *size = {};
  Font* font = impl_->FontFor(caption.font);
  if (font == nullptr) return 0;
  return LayoutCaption(caption, *font, glyphs, size);
}

std::unique_ptr<CaptionCanvas> CaptionFonts::Canvas(std::uint8_t* bits, int width, int height) {
  return std::make_unique<Impl::StageCanvas>(*impl_, bits, width, height);
}

}  // namespace lumafolio::render
