#pragma once

extern "C" {
#include <libavutil/log.h>
}

namespace lumafolio::render {

// FFmpeg's libraries print to stderr by themselves: x264's and libvpx's statistics at "info",
// and at "error" a line for every damaged frame of a video item, which the render shows as the
// player does. What the user must know reaches them through our own messages (every failure is
// an exception naming the file), so the libraries speak only of what ends the process.
inline void QuietenFfmpegOnce() {
  static const bool done = [] {
    if (av_log_get_level() == AV_LOG_INFO) av_log_set_level(AV_LOG_FATAL);
    return true;
  }();
  (void)done;
}

}  // namespace lumafolio::render
