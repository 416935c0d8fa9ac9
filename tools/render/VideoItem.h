#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/render/SoundSource.h"

namespace lumafolio::render {

// A film's video item decoded with FFmpeg's libraries: its frames in the order and at the times
// it plays them, and its own sound.
class VideoItem {
 public:
  // Opens `path`; throws std::runtime_error naming the file and the reason when it holds no
  // video stream that can be decoded.
  explicit VideoItem(const std::string& path);
  ~VideoItem();
  VideoItem(const VideoItem&) = delete;
  VideoItem& operator=(const VideoItem&) = delete;

  int Width() const;  // the frame size as stored (display aspect applied)
  int Height() const;
  double Seconds() const;  // how long it plays: the longer of its picture and its sound

  // The frame on screen `seconds` after the start, scaled (bilinear or better) to `width` x
  // `height`, as 24-bit BGR rows top-down, `width` * 3 bytes each. Calls come with times that
  // never go back. False once `seconds` lies past the last frame's time (the caller then shows
  // the end picture).
  bool FrameAt(double seconds, int width, int height, std::vector<std::uint8_t>& bgr);

  // The video's sound from its start at 48 kHz stereo, or nullptr when it has none.
  std::unique_ptr<SoundSource> OpenSound() const;

 private:
  struct Decoder;
  std::unique_ptr<Decoder> decoder_;
  std::string path_;
};

}  // namespace lumafolio::render
