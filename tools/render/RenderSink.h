#pragma once

#include <cstdint>
#include <span>

namespace lumafolio::render {

// The sound of a render: 48 kHz, two channels, float samples in -1..1, interleaved left/right.
constexpr int kSampleRate = 48000;
constexpr int kChannels = 2;

// What every frame of a render has in common.
struct RenderFormat {
  int width = 800;
  int height = 600;
  int fps = 60;       // 60, 30 or 25: a frame's sound is then a whole number of samples
  bool sound = true;  // false when the film has no music and no video sound at all

  int SamplesPerFrame() const { return kSampleRate / fps; }
};

// Where a show's frames and sound go as the timeline plays it: a video file, PNG frames, or
// (one day) a window with a sound device. The timeline calls Begin once, Frame once per frame
// in order, then Finish; Abandon instead of Finish when the render fails or is cut short, and it
// must leave nothing half-written behind. Every failure is a std::runtime_error with a message
// for the user.
class RenderSink {
 public:
  virtual ~RenderSink() = default;
  virtual void Begin(const RenderFormat& format) = 0;
  // `bits`: the stage, 24-bit BGR rows, bottom-up, each padded to four bytes (the effects'
  // layout). `sound`: the SamplesPerFrame() stereo samples that play while the frame is shown
  // (2 floats each), silence included; empty when the format has no sound.
  virtual void Frame(const std::uint8_t* bits, std::span<const float> sound) = 0;
  virtual void Finish() = 0;
  virtual void Abandon() noexcept = 0;
};

}  // namespace lumafolio::render
