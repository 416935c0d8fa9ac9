// The demo film's theme: a short tune made here, like the pictures, so that the project ships no
// recordings.
#pragma once

#include <filesystem>

namespace demo {

// Writes the theme (about 7.5 seconds: a four-bar tune over a bass line and soft chords) as a
// 44.1 kHz, 16-bit stereo PCM wave file. Returns false when the file cannot be written.
bool WriteTheme(const std::filesystem::path& path);

}  // namespace demo
