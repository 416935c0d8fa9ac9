#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "tools/render/RenderSink.h"

namespace lumafolio::render {

// Writes a render as a video file with FFmpeg's libraries, by the name's extension: ".mp4"
// (H.264 in yuv420p + AAC), ".webm" (VP9 + Opus), ".mkv" (H.264 + Opus). The file is written
// under a temporary name beside `path` and renamed at Finish, so that a failed or abandoned
// render leaves nothing at `path` (and no temporary file either). A frame of odd width or height
// is stored one column or row larger, the last one repeated: 4:2:0 video has even sizes only.
std::unique_ptr<RenderSink> MakeVideoFileSink(const std::string& path);

// True when `path` names a video file MakeVideoFileSink can write (by its extension).
bool IsVideoFileName(const std::string& path);

}  // namespace lumafolio::render
