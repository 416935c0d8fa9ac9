#pragma once

#include <cstddef>

namespace lumafolio::render {

// A sound played from its start: music (a wave or MIDI file) or a video's own track, already at
// 48 kHz in stereo (kSampleRate, kChannels).
class SoundSource {
 public:
  virtual ~SoundSource() = default;
  // Adds (mixes) the next `frames` stereo samples into `out` (2 * frames floats) and returns how
  // many it had; fewer than asked means the sound has ended, and 0 is returned ever after.
  // Throws std::runtime_error when the file turns out to be damaged half-way.
  virtual std::size_t MixInto(float* out, std::size_t frames) = 0;
};

}  // namespace lumafolio::render
