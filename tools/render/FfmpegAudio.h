#pragma once

#include <memory>
#include <string>

#include "tools/render/SoundSource.h"

namespace lumafolio::render {

// The best audio stream of a file FFmpeg reads, decoded from its start and resampled to 48 kHz
// stereo. `format` names the demuxer to use ("wav" for music, which the player only ever handed
// to the wave device) or is null to let FFmpeg recognise the file. Throws std::runtime_error
// naming the file when it cannot be opened or holds no audio FFmpeg decodes; with
// `missingIsNull`, a file without any audio stream gives nullptr instead.
std::unique_ptr<SoundSource> OpenFfmpegAudio(const std::string& path, const char* format,
                                             bool missingIsNull);

// FFmpeg's text for an error code.
std::string FfmpegError(int code);

}  // namespace lumafolio::render
