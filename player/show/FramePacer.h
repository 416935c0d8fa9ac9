#pragma once

#include <windows.h>

#include <functional>

namespace lumafolio {

// Paces the frames of a transition or caption animation at the display's refresh rate. Drawn as
// fast as the machine allows, a 24-step transition would be over in a few milliseconds and a
// composited desktop would show one or two of its frames; paced, an N-step transition takes N+1
// refreshes and every frame is seen.
class FramePacer {
 public:
  explicit FramePacer(double framesPerSecond = DisplayRefreshRate());

  // The refresh rate of the primary display, or 60 when the display does not say.
  static double DisplayRefreshRate();

  // Frame 0 is due now.
  void Start();
  // Waits until frame `frame` is due, asking `cutShort` every millisecond or so; returns false
  // at once when it says so.
  bool WaitForFrame(int frame, const std::function<bool()>& cutShort) const;

  double FrameSeconds() const { return 1.0 / framesPerSecond_; }

 private:
  double framesPerSecond_;
  LARGE_INTEGER frequency_{};
  LARGE_INTEGER start_{};
};

}  // namespace lumafolio
