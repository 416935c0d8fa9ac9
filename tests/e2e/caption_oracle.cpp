// Draws what the stage must show once an item's captions have settled: the item's picture with
// each caption drawn over it by plain GDI, one character at a time. The caption test runs it in
// the same wine session as the player, so the fonts and the text rendering are the player's,
// while the drawing is done by this file alone, not by the player's caption code.
//
//   caption_oracle.exe JOB...
//
// A JOB file holds the picture (an 800x600 BMP), the image to write (a PPM) and the captions:
//
//   C:\...\picture.bmp
//   C:\...\expected.ppm
//   caption LEFT TOP RRGGBB SHADOW ALIGNMENT LINE_SPACING HEIGHT WEIGHT ITALIC DX DY LINES FACE
//   ...LINES lines of text...
//
// ALIGNMENT is 0 left, 2 right, anything else centred; DX, DY move the caption's last line, as
// an effect that may leave it a pixel short of its place does. Exits 0 when every image is written.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;

struct Caption {
  int left = 0;
  int top = 0;
  COLORREF colour = 0;
  bool shadow = false;
  int alignment = 0;
  int lineSpacing = 100;
  int shiftX = 0;
  int shiftY = 0;
  LOGFONTA font{};
  std::vector<std::string> lines;
};

int CharWidth(HDC dc, char c) {
  SIZE size{};
  GetTextExtentPoint32A(dc, &c, 1, &size);
  return size.cx;
}

void DrawCaption(HDC dc, const Caption& caption) {
  HFONT font = CreateFontIndirectA(&caption.font);
  HGDIOBJ previous = SelectObject(dc, font);
  TEXTMETRICA metrics{};
  GetTextMetricsA(dc, &metrics);
  std::vector<int> widths;
  for (const std::string& line : caption.lines) {
    int width = 0;
    for (char c : line) width += CharWidth(dc, c);
    widths.push_back(width);
  }
  const int block = widths.empty() ? 0 : *std::max_element(widths.begin(), widths.end());
  int baseline = caption.top + metrics.tmAscent;
  for (std::size_t i = 0; i < caption.lines.size(); ++i) {
    const int spare = block - widths[i];
    int x = caption.left + (caption.alignment == 0   ? 0
                            : caption.alignment == 2 ? spare
                                                     : spare / 2);
    int y = baseline;
    if (i + 1 == caption.lines.size()) {
      x += caption.shiftX;
      y += caption.shiftY;
    }
    for (char c : caption.lines[i]) {
      if (caption.shadow) {
        SetTextColor(dc, RGB(0, 0, 0));
        TextOutA(dc, x + 2, y + 2, &c, 1);
      }
      SetTextColor(dc, caption.colour);
      TextOutA(dc, x, y, &c, 1);
      x += CharWidth(dc, c);
    }
    baseline += caption.lineSpacing * metrics.tmHeight / 100;
  }
  SelectObject(dc, previous);
  DeleteObject(font);
}

bool ReadJob(const char* path, std::string& picture, std::string& output,
             std::vector<Caption>& captions) {
  std::ifstream in(path);
  if (!std::getline(in, picture) || !std::getline(in, output)) return false;
  std::string header;
  while (std::getline(in, header)) {
    std::istringstream fields(header);
    std::string word;
    unsigned colour = 0;
    int shadow = 0, height = 0, weight = 0, italic = 0, lines = 0;
    Caption caption;
    fields >> word >> caption.left >> caption.top >> std::hex >> colour >> std::dec >> shadow >>
        caption.alignment >> caption.lineSpacing >> height >> weight >> italic >> caption.shiftX >>
        caption.shiftY >> lines >> std::ws;
    std::string face;
    std::getline(fields, face);
    if (word != "caption" || !fields.eof() || face.empty() || face.size() >= LF_FACESIZE) {
      return false;
    }
    caption.colour = RGB(colour >> 16 & 0xFF, colour >> 8 & 0xFF, colour & 0xFF);
    caption.shadow = shadow != 0;
    // The values filmtool writes for a caption font that only names these.
    caption.font.lfHeight = height;
    caption.font.lfWeight = weight;
    caption.font.lfItalic = static_cast<BYTE>(italic);
    caption.font.lfOutPrecision = OUT_STROKE_PRECIS;
    caption.font.lfClipPrecision = CLIP_STROKE_PRECIS;
    caption.font.lfQuality = DRAFT_QUALITY;
    caption.font.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    face.copy(caption.font.lfFaceName, face.size());
    for (int i = 0; i < lines; ++i) {
      std::string& line = caption.lines.emplace_back();
      if (!std::getline(in, line)) return false;
    }
    captions.push_back(caption);
  }
  return true;
}

// The picture, then the captions in film order, on a bitmap like the player's stage: one
// compatible with the screen.
bool Render(const std::string& picture, const std::vector<Caption>& captions,
            std::vector<BYTE>& rgb) {
  HDC screen = GetDC(nullptr);
  HDC stage = CreateCompatibleDC(screen);
  HBITMAP stageBitmap = CreateCompatibleBitmap(screen, kWidth, kHeight);
  auto* loaded = static_cast<HBITMAP>(LoadImageA(nullptr, picture.c_str(), IMAGE_BITMAP, 0, 0,
                                                 LR_LOADFROMFILE | LR_CREATEDIBSECTION));
  bool ok = stage != nullptr && stageBitmap != nullptr && loaded != nullptr;
  if (ok) {
    HGDIOBJ previousStage = SelectObject(stage, stageBitmap);
    HDC source = CreateCompatibleDC(screen);
    HGDIOBJ previousSource = SelectObject(source, loaded);
    BitBlt(stage, 0, 0, kWidth, kHeight, source, 0, 0, SRCCOPY);
    SelectObject(source, previousSource);
    DeleteDC(source);

    SetBkMode(stage, TRANSPARENT);
    SetTextAlign(stage, TA_BASELINE | TA_LEFT);
    for (const Caption& caption : captions) DrawCaption(stage, caption);
    SelectObject(stage, previousStage);

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = kWidth;
    info.bmiHeader.biHeight = -kHeight;  // top-down, as a PPM is written
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    rgb.resize(kWidth * kHeight * 3);  // rows of 2400 bytes need no padding
    ok = GetDIBits(stage, stageBitmap, 0, kHeight, rgb.data(), &info, DIB_RGB_COLORS) == kHeight;
    for (std::size_t i = 0; i < rgb.size(); i += 3) std::swap(rgb[i], rgb[i + 2]);  // BGR
  }
  if (loaded != nullptr) DeleteObject(loaded);
  if (stageBitmap != nullptr) DeleteObject(stageBitmap);
  if (stage != nullptr) DeleteDC(stage);
  ReleaseDC(nullptr, screen);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    std::string picture, output;
    std::vector<Caption> captions;
    std::vector<BYTE> rgb;
    if (!ReadJob(argv[i], picture, output, captions)) {
      std::fprintf(stderr, "caption_oracle: %s: unreadable job\n", argv[i]);
      return 1;
    }
    if (!Render(picture, captions, rgb)) {
      std::fprintf(stderr, "caption_oracle: %s: could not draw %s\n", argv[i], picture.c_str());
      return 1;
    }
    std::FILE* out = std::fopen(output.c_str(), "wb");
    const bool written = out != nullptr &&
                         std::fprintf(out, "P6 %d %d 255\n", kWidth, kHeight) > 0 &&
                         std::fwrite(rgb.data(), 1, rgb.size(), out) == rgb.size();
    if (out == nullptr || std::fclose(out) != 0 || !written) {
      std::fprintf(stderr, "caption_oracle: cannot write %s\n", output.c_str());
      return 1;
    }
  }
  return 0;
}
