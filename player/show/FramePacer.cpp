#include "player/show/FramePacer.h"

#include <mmsystem.h>

namespace lumafolio {
namespace {

// Sleep rounds up to the scheduler's tick (often 15.6 ms) unless asked for a finer one; a frame
// lasts 16.7 ms at 60 Hz, so ask for 1 ms while pacing.
class FineTimerScope {
 public:
  FineTimerScope() : ok_(timeBeginPeriod(1) == TIMERR_NOERROR) {}
  FineTimerScope(const FineTimerScope&) = delete;
  FineTimerScope& operator=(const FineTimerScope&) = delete;
  ~FineTimerScope() {
    if (ok_) timeEndPeriod(1);
  }

 private:
  bool ok_;
};

}  // namespace

FramePacer::FramePacer(double framesPerSecond)
    : framesPerSecond_(framesPerSecond > 1 ? framesPerSecond : 60) {
  QueryPerformanceFrequency(&frequency_);
  Start();
}

double FramePacer::DisplayRefreshRate() {
  DEVMODEA mode{};
  mode.dmSize = sizeof mode;
  // 0 and 1 both mean "the hardware's default", which says nothing about the rate.
  if (EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode) && mode.dmDisplayFrequency > 1) {
    return mode.dmDisplayFrequency;
  }
  return 60;
}

void FramePacer::Start() { QueryPerformanceCounter(&start_); }

bool FramePacer::WaitForFrame(int frame, const std::function<bool()>& cutShort) const {
  const LONGLONG due =
      start_.QuadPart +
      static_cast<LONGLONG>(frame * static_cast<double>(frequency_.QuadPart) / framesPerSecond_);
  FineTimerScope fine;
  for (;;) {
    if (cutShort && cutShort()) return false;
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    const LONGLONG left = due - now.QuadPart;
    if (left <= 0) return true;
    const LONGLONG milliseconds = left * 1000 / frequency_.QuadPart;
    Sleep(milliseconds > 1 ? 1 : 0);
  }
}

}  // namespace lumafolio
