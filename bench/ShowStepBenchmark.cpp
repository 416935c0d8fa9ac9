// The two waits a viewer can feel in a show, measured on the player's own code under Windows:
// - from the key press to the first transition frame on the window, with the next picture
//   already prepared (capture the stage, draw the next picture centred, begin the effect, draw
//   step 0 and put it on the window); target: under one display refresh;
// - a transition step once running, drawn to the window (target: well under one refresh), and
//   the stage put back and on the window as each caption frame starts;
// - preparing a picture on the worker: decoding it out of the program file into a bitmap and
//   fitting it to the stage.
// Each on the classic 800 x 600 stage and on a stage of the whole screen, side by side.
//
//   show_bench STAGE.jpg LARGE.jpg   (scripts/show-bench.sh makes the pictures and runs it)
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "core/show/FitRect.h"
#include "core/show/StageGeometry.h"
#include "player/media/SlideImage.h"
#include "player/show/FramePacer.h"
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

struct StageFigures {
  double firstFrame = 0;  // worst median over the effects
  double step = 0;        // worst median over the effects
  const char* worstStep = "";
  double captionFrame = 0;
  double prepare = 0;
  int largeWidth = 0;
  int largeHeight = 0;
};

// The figures of one stage size, in a window of `screenWidth` x `screenHeight`.
bool MeasureStage(HDC dc, int screenWidth, int screenHeight, const StageGeometry& geometry,
                  const char* stagePicture, const char* largePicture, StageFigures& figures) {
  StageSurface stage(screenWidth, screenHeight, geometry.Width(), geometry.Height());
  if (!stage.CreateBitmaps(dc)) return false;
  SlideImage next(stagePicture);
  if (next.Decode("0") != 1) return false;
  Rect fitted = geometry.PictureRect(next.Width(), next.Height());
  next.FitToStage(geometry, fitted.Width(), fitted.Height());

  struct Named {
    int effect;
    const char* name;
  };
  for (const Named effect : {Named{24, "cut"}, Named{23, "fade"}, Named{6, "burn"},
                             Named{25, "curl"}, Named{33, "scatter"}, Named{9, "clock"},
                             Named{52, "roll-vertical"}, Named{43, "flip-horizontal"}}) {
    std::vector<double> first;
    std::vector<double> steps;
    for (int run = 0; run < 8; ++run) {
      const auto start = Clock::now();
      stage.CaptureStage(dc, next);
      stage.BeginTransition(effect.effect);
      stage.StepTransition(effect.effect, dc, 0, 24);
      GdiFlush();
      first.push_back(Milliseconds(Clock::now() - start));
      for (int step = 1; step <= 24; ++step) {
        const auto at = Clock::now();
        stage.StepTransition(effect.effect, dc, step, 24);
        GdiFlush();
        steps.push_back(Milliseconds(Clock::now() - at));
      }
      stage.EndTransition(effect.effect);
    }
    figures.firstFrame = std::max(figures.firstFrame, Median(first));
    if (Median(steps) > figures.step) {
      figures.step = Median(steps);
      figures.worstStep = effect.name;
    }
  }
  std::vector<double> captions;
  for (int frame = 0; frame < 60; ++frame) {
    const auto start = Clock::now();
    stage.RestoreStage();
    stage.Present(dc);
    GdiFlush();
    captions.push_back(Milliseconds(Clock::now() - start));
  }
  figures.captionFrame = Median(captions);

  std::vector<double> prepares;
  for (int run = 0; run < 5; ++run) {
    const auto start = Clock::now();
    SlideImage large(largePicture);
    if (large.Decode("0") != 1) return false;
    figures.largeWidth = large.Width();
    figures.largeHeight = large.Height();
    fitted = geometry.PictureRect(large.Width(), large.Height());
    large.FitToStage(geometry, fitted.Width(), fitted.Height());
    prepares.push_back(Milliseconds(Clock::now() - start));
    large.Release();
    large.Close();
  }
  figures.prepare = Median(prepares);
  return true;
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
  const int width = bounds.right - bounds.left;
  const int height = bounds.bottom - bounds.top;
  HDC dc = GetDC(window);

  std::printf("display refresh: %.1f Hz (%.2f ms a frame)\n", FramePacer::DisplayRefreshRate(),
              1000 / FramePacer::DisplayRefreshRate());
  std::printf("%-34s %14s %14s\n", "median ms", "800x600", "screen");
  StageFigures classic;
  StageFigures screen;
  if (!MeasureStage(dc, width, height, StageGeometry(800, 600), argv[1], argv[2], classic) ||
      !MeasureStage(dc, width, height, StageGeometry(width, height), argv[1], argv[2], screen)) {
    std::fprintf(stderr, "cannot make the stage or decode the pictures\n");
    return 1;
  }
  std::printf("%-34s %14s %14s\n", "stage", "800x600",
              (std::to_string(width) + "x" + std::to_string(height)).c_str());
  std::printf("%-34s %14.2f %14.2f\n", "key press to first frame (worst)", classic.firstFrame,
              screen.firstFrame);
  std::printf("%-34s %8.2f %-5s %8.2f %-5s\n", "transition step (worst)", classic.step,
              classic.worstStep, screen.step, screen.worstStep);
  std::printf("%-34s %14.2f %14.2f\n", "caption frame: stage back + shown", classic.captionFrame,
              screen.captionFrame);
  std::printf("prepare %dx%d (decode + fit)      %14.1f %14.1f\n", classic.largeWidth,
              classic.largeHeight, classic.prepare, screen.prepare);
  ReleaseDC(window, dc);
  DestroyWindow(window);
  return 0;
}
