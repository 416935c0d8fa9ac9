// How long one caption frame takes on the player's own code under Windows, in the worst case a
// film can ask for: ten captions of 255 bytes each on the stage, with shadows. A frame is what
// the caption animation does 33 times: restore the clean picture, draw every caption's frame,
// put the stage on the window. Target: well under one 60 Hz refresh (16.7 ms).
//
// On a stage of WxH the captions are placed and their fonts grown as a film's are on that stage
// (1.8 times on 1920x1080).
//
//   caption_bench [WxH]   (scripts/caption-bench.sh [WxH] builds and runs it under wine)
#include <windows.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/effects/EffectTable.h"
#include "core/film/FilmDocument.h"
#include "core/show/StageGeometry.h"
#include "player/captions/CaptionGdi.h"
#include "player/stage/StageSurface.h"

namespace {

using namespace lumafolio;
using Clock = std::chrono::steady_clock;

constexpr int kCaptions = 10;
constexpr int kFrames = 32;
constexpr int kRuns = 5;

double Milliseconds(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

HWND MakeWindow() {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "CaptionBench";
  RegisterClassA(&windowClass);
  HWND window = CreateWindowExA(0, "CaptionBench", "caption_bench", WS_POPUP | WS_VISIBLE, 0, 0,
                                GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  return window;
}

// 255 bytes: five lines of 49 characters.
std::string LongText(int seed) {
  std::string text;
  for (int line = 0; line < 5; ++line) {
    if (line > 0) text += "\r\n";
    for (int i = 0; i < 49; ++i) text += static_cast<char>('A' + (seed * 7 + line * 13 + i) % 58);
  }
  return text;
}

struct Laid {
  Caption caption;
  std::array<CaptionGlyph, kMaxCaptionGlyphs> glyphs;
  int count = 0;
};

std::vector<Laid> LayOut(int effect, const StageGeometry& geometry) {
  std::vector<Laid> captions(kCaptions);
  for (int i = 0; i < kCaptions; ++i) {
    Laid& laid = captions[static_cast<std::size_t>(i)];
    Caption& caption = laid.caption;
    caption.text = LongText(i);
    caption.textEffect = effect;
    caption.left = 10 + i * 7;
    caption.top = 10 + i * 55;
    caption.textColour = RGB(255, 255 - i * 20, 40);
    caption.shadow = 1;
    caption.alignment = i % 3;
    caption.font.height = -18;
    caption.font.weight = 700;
    caption.font.quality = 1;
    std::strcpy(caption.font.faceName.data(), i % 2 ? "Times New Roman" : "Arial");
    caption = geometry.PlaceCaption(caption);
    CaptionExtent block;
    laid.count = LayoutCaption(caption, laid.glyphs, &block);
    caption.textWidth = block.width;
    caption.textHeight = block.height;
  }
  return captions;
}

}  // namespace

int main(int argc, char** argv) {
  int stageWidth = kClassicStageWidth;
  int stageHeight = kClassicStageHeight;
  char times = 0;
  if (argc > 2 ||
      (argc == 2 && (std::sscanf(argv[1], "%d%c%d", &stageWidth, &times, &stageHeight) != 3 ||
                     times != 'x' || stageWidth <= 0 || stageHeight <= 0))) {
    std::fprintf(stderr, "usage: caption_bench [WxH]\n");
    return 2;
  }
  const StageGeometry geometry(stageWidth, stageHeight);
  HWND window = MakeWindow();
  RECT bounds;
  GetWindowRect(window, &bounds);
  StageSurface stage(bounds.right - bounds.left, bounds.bottom - bounds.top, stageWidth,
                     stageHeight);
  HDC dc = GetDC(window);
  if (!stage.CreateBitmaps(dc)) {
    std::fprintf(stderr, "caption_bench: no stage surfaces\n");
    return 1;
  }
  std::printf(
      "%dx%d stage: 10 captions of 255 bytes with shadows, frames 0..32, %d runs; 60 Hz refresh "
      "= 16.7 ms\n",
      stageWidth, stageHeight, kRuns);
  std::printf("%-16s %12s %12s %12s\n", "effect", "layout ms", "median ms", "worst ms");
  double worstOfAll = 0;
  // One representative of each motion and direction family.
  for (const char* name : {"appear", "wipe-right", "slide-up", "box", "iris", "sweep-left",
                           "scatter", "whirl", "letters-down", "lines-up"}) {
    int effect = 0;
    for (const CaptionEffectEntry& entry : CaptionEffectTable()) {
      if (std::strcmp(entry.name, name) == 0) effect = entry.index;
    }
    const Clock::time_point laying = Clock::now();
    const std::vector<Laid> captions = LayOut(effect, geometry);
    const double layout = Milliseconds(Clock::now() - laying);
    std::vector<double> frames;
    for (int run = 0; run < kRuns; ++run) {
      for (const Laid& laid : captions) stage.BeginCaption(laid.caption.textEffect);
      for (int frame = 0; frame <= kFrames; ++frame) {
        const Clock::time_point start = Clock::now();
        stage.RestoreStage();
        for (const Laid& laid : captions) {
          stage.StepCaption(effect, laid.glyphs.data(), laid.count, &laid.caption, frame, kFrames);
        }
        stage.Present(dc);
        GdiFlush();
        frames.push_back(Milliseconds(Clock::now() - start));
      }
      for (const Laid& laid : captions) stage.EndCaption(laid.caption.textEffect);
    }
    std::sort(frames.begin(), frames.end());
    worstOfAll = std::max(worstOfAll, frames.back());
    std::printf("%-16s %12.2f %12.2f %12.2f\n", name, layout, frames[frames.size() / 2],
                frames.back());
  }
  std::printf("worst frame of all: %.2f ms (%.0f %% of a 60 Hz refresh)\n", worstOfAll,
              worstOfAll / (1000.0 / 60.0) * 100.0);
  ReleaseDC(window, dc);
  DestroyWindow(window);
  return 0;
}
