#pragma once

#include <optional>
#include <string>

namespace lumafolio {

struct FrameSize {
  int width = 0;
  int height = 0;
};

// The frame size an AVI file declares for its video: the format of its first video stream (a
// bitmap header, whose height may be negative for top-down frames), or else the main header's
// size. Nothing when the file is no AVI file or declares no size with area. Only the header
// list at the start is read, so a video of any length costs a few reads.
std::optional<FrameSize> ReadAviFrameSize(const std::string& path);

}  // namespace lumafolio
