// caption-frames: the 33 frames of one caption's animation, drawn by the player's own layout,
// effect library and GDI drawing over a picture on an off-screen 800 x 600 stage, written as
// BMP files or as one contact sheet. For looking at an effect without playing a film, and for
// tests that compare what the player draws with what GDI draws.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/captions/CaptionGlyph.h"
#include "core/effects/EffectLibrary.h"
#include "core/effects/EffectRandom.h"
#include "core/effects/EffectTable.h"
#include "core/film/FilmDocument.h"
#include "core/jpeg/JpegDib.h"
#include "core/show/FitRect.h"
#include "player/captions/CaptionGdi.h"
#include "player/win32/GdiObjects.h"

namespace lumafolio {
namespace {

constexpr int kStageWidth = 800;
constexpr int kStageHeight = 600;
constexpr int kFrameCount = 32;  // frames 0..32, as the player animates them

constexpr char kUsage[] =
    "usage: caption-frames [PICTURE.jpg] --text TEXT (--frames DIR | --sheet FILE.bmp)\n"
    "         [--effect NAME|CODE] [--frame F] [--left X] [--top Y] [--colour RRGGBB]\n"
    "         [--font FACE] [--height H] [--weight W] [--italic] [--underline]\n"
    "         [--charset N] [--quality N] [--alignment left|centre|right|N]\n"
    "         [--line-spacing PERCENT] [--shadow] [--seed S]\n"
    "Draws frames 0 to 32 of the caption's animation (or only --frame F) over PICTURE fitted\n"
    "to the 800x600 stage (black without one). In TEXT, \\n starts a new line.\n";

struct Options {
  std::string picture;
  std::string framesDir;
  std::string sheet;
  std::optional<int> onlyFrame;
  unsigned seed = 1;
  Caption caption;
};

[[noreturn]] void Fail(const std::string& message) {
  std::fprintf(stderr, "caption-frames: %s\n%s", message.c_str(), kUsage);
  std::exit(2);
}

int Number(std::string_view option, const char* text, int base = 10) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, base);
  if (end == text || *end != '\0') Fail(std::string(option) + " wants a number, not " + text);
  return static_cast<int>(value);
}

int EffectCode(const char* text) {
  for (const CaptionEffectEntry& entry : CaptionEffectTable()) {
    if (std::string_view(entry.name) == text) return entry.index;
  }
  const int code = Number("--effect", text);
  if (code < 0 || code >= kCaptionEffectRecordCount) Fail("no caption effect " + std::string(text));
  return code;
}

std::string CaptionText(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
      out += "\r\n";
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

Options Parse(int argc, char** argv) {
  Options options;
  Caption& caption = options.caption;
  caption.left = 40;
  caption.top = 40;
  caption.textColour = 0x00FFFFFF;
  caption.textEffect = kRandomCaptionEffectIndex;
  LogFontA& font = caption.font;
  font.height = -60;
  font.weight = 400;
  font.outPrecision = 3;
  font.clipPrecision = 2;
  font.quality = 1;
  font.pitchAndFamily = 0x22;
  std::strcpy(font.faceName.data(), "Arial");
  bool haveText = false;

  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    }
    if (arg == "--italic") {
      font.italic = 1;
    } else if (arg == "--underline") {
      font.underline = 1;
    } else if (arg == "--shadow") {
      caption.shadow = 1;
    } else if (arg.starts_with("--")) {
      if (i + 1 == argc) Fail(std::string(arg) + " wants a value");
      const char* value = argv[++i];
      if (arg == "--text") {
        caption.text = CaptionText(value);
        if (caption.text.size() >= 256) Fail("a caption holds at most 255 bytes");
        haveText = true;
      } else if (arg == "--frames") {
        options.framesDir = value;
      } else if (arg == "--sheet") {
        options.sheet = value;
      } else if (arg == "--effect") {
        caption.textEffect = EffectCode(value);
      } else if (arg == "--frame") {
        options.onlyFrame = Number(arg, value);
        if (*options.onlyFrame < 0 || *options.onlyFrame > kFrameCount) Fail("frames are 0..32");
      } else if (arg == "--left") {
        caption.left = Number(arg, value);
      } else if (arg == "--top") {
        caption.top = Number(arg, value);
      } else if (arg == "--colour" || arg == "--color") {
        const int rgb = Number(arg, value, 16);
        caption.textColour =
            static_cast<std::uint32_t>(RGB(rgb >> 16 & 0xFF, rgb >> 8 & 0xFF, rgb & 0xFF));
      } else if (arg == "--font") {
        if (std::strlen(value) >= LogFontA::kFaceSize) Fail("a font face has at most 31 bytes");
        font.faceName = {};
        std::strcpy(font.faceName.data(), value);
      } else if (arg == "--height") {
        font.height = Number(arg, value);
      } else if (arg == "--weight") {
        font.weight = Number(arg, value);
      } else if (arg == "--charset") {
        font.charSet = static_cast<std::uint8_t>(Number(arg, value));
      } else if (arg == "--quality") {
        font.quality = static_cast<std::uint8_t>(Number(arg, value));
      } else if (arg == "--alignment") {
        const std::string_view name = value;
        caption.alignment = name == "left"                         ? 0
                            : name == "right"                      ? 2
                            : name == "centre" || name == "center" ? 1
                                                                   : Number(arg, value);
      } else if (arg == "--line-spacing") {
        caption.lineSpacing = Number(arg, value);
      } else if (arg == "--seed") {
        options.seed = static_cast<unsigned>(Number(arg, value));
      } else {
        Fail("unknown option " + std::string(arg));
      }
    } else if (options.picture.empty()) {
      options.picture = std::string(arg);
    } else {
      Fail("one picture only");
    }
  }
  if (!haveText) Fail("no --text");
  if (options.framesDir.empty() == options.sheet.empty()) Fail("give --frames or --sheet");
  return options;
}

// A 24-bit top-down DIB section with a DC of its own.
class Canvas {
 public:
  Canvas(int width, int height) : width_(width), height_(height), dc_(nullptr) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    bitmap_.reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    bits_ = static_cast<std::uint8_t*>(bits);
    if (!bitmap_ || !dc_) Fail("cannot make an off-screen picture");
    selected_.emplace(dc_.get(), bitmap_.get());
    PatBlt(dc_.get(), 0, 0, width, height, BLACKNESS);
  }
  HDC Dc() const { return dc_.get(); }
  std::size_t RowSize() const { return (static_cast<std::size_t>(width_) * 3 + 3) & ~3u; }
  std::size_t Bytes() const { return RowSize() * static_cast<std::size_t>(height_); }
  std::uint8_t* Bits() const { return bits_; }

  // A bottom-up 24-bit BMP file, as every viewer reads it.
  void Save(const std::string& path) const {
    GdiFlush();
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    info.biSize = sizeof(info);
    info.biWidth = width_;
    info.biHeight = height_;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biSizeImage = static_cast<DWORD>(Bytes());
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + info.biSizeImage;
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) Fail("cannot write " + path);
    std::fwrite(&file, sizeof(file), 1, out);
    std::fwrite(&info, sizeof(info), 1, out);
    for (int y = height_ - 1; y >= 0; --y) {
      std::fwrite(bits_ + RowSize() * static_cast<std::size_t>(y), 1, RowSize(), out);
    }
    if (std::fclose(out) != 0) Fail("cannot write " + path);
  }

 private:
  int width_;
  int height_;
  MemoryDc dc_{nullptr};
  GdiObject<HBITMAP> bitmap_;
  std::uint8_t* bits_ = nullptr;
  std::optional<SelectionScope> selected_;
};

// The picture fitted to the stage and centred on black, as the slide view shows it.
void DrawPicture(const std::string& path, const Canvas& stage) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) Fail("cannot open " + path);
  std::vector<std::uint8_t> dib;
  std::string reason;
  const bool decoded = DecodeJpegToDib(file, dib, &reason);
  std::fclose(file);
  if (!decoded) Fail(path + ": " + reason);
  const auto* info = reinterpret_cast<const BITMAPINFO*>(dib.data() + kDibHeaderSize - 40);
  const int width = info->bmiHeader.biWidth;
  const int height = info->bmiHeader.biHeight;
  const Rect at = FitRect({0, 0, width, height}, {0, 0, kStageWidth, kStageHeight});
  SetStretchBltMode(stage.Dc(), COLORONCOLOR);
  StretchDIBits(stage.Dc(), at.left, at.top, at.Width(), at.Height(), 0, 0, width, height,
                dib.data() + kDibHeaderSize, info, DIB_RGB_COLORS, SRCCOPY);
}

int Run(int argc, char** argv) {
  Options options = Parse(argc, argv);
  Canvas clean(kStageWidth, kStageHeight);
  if (!options.picture.empty()) DrawPicture(options.picture, clean);
  GdiFlush();

  // The caption as the player animates it: laid out once, with its measured block.
  Caption caption = options.caption;
  std::vector<CaptionGlyph> glyphs(kMaxCaptionGlyphs);
  CaptionExtent block;
  const int count = LayoutCaption(caption, glyphs, &block);
  caption.textWidth = block.width;
  caption.textHeight = block.height;
  std::printf("%d glyphs, block %d x %d, effect %s\n", count, block.width, block.height,
              CaptionEffectTable()[static_cast<std::size_t>(caption.textEffect)].name);

  EffectSrand(options.seed);  // picks the random row's effect
  EffectLibrary effects;
  Canvas stage(kStageWidth, kStageHeight);
  GdiCaptionCanvas canvas(stage.Dc());
  CaptionEffectParams begin;
  begin.width = kStageWidth;
  begin.height = kStageHeight;
  begin.frameCount = 100;
  effects.RunCaptionEffect(caption.textEffect, kEffectBegin, &begin);

  // The sheet: six frames a row at a quarter of the stage's size.
  constexpr int kColumns = 6;
  constexpr int kCellWidth = kStageWidth / 4;
  constexpr int kCellHeight = kStageHeight / 4;
  std::optional<Canvas> sheet;
  if (!options.sheet.empty()) {
    sheet.emplace(kColumns * kCellWidth, (kFrameCount / kColumns + 1) * kCellHeight);
    SetStretchBltMode(sheet->Dc(), HALFTONE);
  }
  for (int frame = 0; frame <= kFrameCount; ++frame) {
    if (options.onlyFrame && frame != *options.onlyFrame) continue;
    GdiFlush();
    std::memcpy(stage.Bits(), clean.Bits(), stage.Bytes());
    CaptionEffectParams step;
    step.canvas = &canvas;
    step.caption = &caption;
    step.glyphs = glyphs.data();
    step.glyphCount = count;
    step.width = kStageWidth;
    step.height = kStageHeight;
    step.frame = frame;
    step.frameCount = kFrameCount;
    effects.RunCaptionEffect(caption.textEffect, kEffectStep, &step);
    if (sheet) {
      StretchBlt(sheet->Dc(), frame % kColumns * kCellWidth, frame / kColumns * kCellHeight,
                 kCellWidth, kCellHeight, stage.Dc(), 0, 0, kStageWidth, kStageHeight, SRCCOPY);
    } else {
      char name[32];
      std::snprintf(name, sizeof name, "\\frame-%02d.bmp", frame);
      stage.Save(options.framesDir + name);
    }
  }
  effects.RunCaptionEffect(caption.textEffect, kEffectEnd, nullptr);
  if (sheet) sheet->Save(options.sheet);
  return 0;
}

}  // namespace
}  // namespace lumafolio

int main(int argc, char** argv) { return lumafolio::Run(argc, argv); }
