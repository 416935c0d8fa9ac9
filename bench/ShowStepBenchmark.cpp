// The two waits a viewer can feel in a show, measured on the player's own code under Windows:
// - from the key press to the first transition frame on the window, with the next picture
//   already prepared (capture the stage, draw the next picture centred, begin the effect, draw
//   step 0 and put it on the window); target: under one display refresh;
// - preparing a picture on the worker: decoding it out of the program file into a bitmap and
//   fitting it to the stage.
//
//   show_bench STAGE.jpg LARGE.jpg   (scripts/show-bench.sh makes the pictures and runs it)
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "player/media/SlideImage.h"
#include "player/show/FramePacer.h"
#include "core/show/FitRect.h"
#include "player/stage/StageSurface.h"

namespace {

using namespace lumafolio;
using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

HWND MakeWindow() {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = "ShowBench";
  RegisterClassA(&windowClass);
  HWND window = CreateWindowExA(0, "ShowBench", "show_bench", WS_POPUP | WS_VISIBLE, 0, 0,
                                GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  return window;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: show_bench STAGE.jpg LARGE.jpg\n");
    return 2;
  }
  HWND window = MakeWindow();
  RECT bounds;
  GetWindowRect(window, &bounds);
  StageSurface stage(bounds.right - bounds.left, bounds.bottom - bounds.top);
  HDC dc = GetDC(window);
  stage.CreateBitmaps(dc);

  SlideImage next(argv[1]);
  if (next.Decode("0") != 1) {
    std::fprintf(stderr, "cannot decode %s\n", argv[1]);
    return 1;
  }
  const Rect stageRect{0, 0, 800, 600};
  const Rect fitted = FitRect({0, 0, next.Width(), next.Height()}, stageRect);
  next.SetDisplaySize(fitted.Width(), fitted.Height());

  std::printf("display refresh: %.1f Hz (%.2f ms a frame)\n", FramePacer::DisplayRefreshRate(),
              1000 / FramePacer::DisplayRefreshRate());
  std::printf("%-34s %10s %10s\n", "key press to first frame", "median ms", "max ms");
  for (int effect : {24, 23, 6, 25, 33}) {  // cut, fade, burn, curl, scatter
    std::vector<double> times;
    for (int run = 0; run < 40; ++run) {
      const auto start = Clock::now();
      stage.CaptureStage(dc, next);
      stage.BeginTransition(effect);
      stage.StepTransition(effect, dc, 0, 24);
      GdiFlush();
      times.push_back(Milliseconds(Clock::now() - start));
      stage.EndTransition(effect);
    }
    std::printf("  effect %-25d %10.2f %10.2f\n", effect, Median(times),
                *std::max_element(times.begin(), times.end()));
  }

  std::vector<double> prepares;
  int width = 0;
  int height = 0;
  for (int run = 0; run < 7; ++run) {
    const auto start = Clock::now();
    SlideImage large(argv[2]);
    if (large.Decode("0") != 1) {
      std::fprintf(stderr, "cannot decode %s\n", argv[2]);
      return 1;
    }
    width = large.Width();
    height = large.Height();
    const Rect fit = FitRect({0, 0, width, height}, stageRect);
    large.SetDisplaySize(fit.Width(), fit.Height());
    prepares.push_back(Milliseconds(Clock::now() - start));
    large.Release();
    large.Close();
  }
  std::printf("prepare %dx%d on the worker (decode + fit): median %.1f ms, min %.1f ms\n", width,
              height, Median(prepares), *std::min_element(prepares.begin(), prepares.end()));
  ReleaseDC(window, dc);
  DestroyWindow(window);
  return 0;
}
