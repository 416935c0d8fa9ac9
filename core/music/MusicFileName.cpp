#include "core/music/MusicFileName.h"

#include <cstdlib>
#include <string>

namespace lumafolio {
namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; };
    if (upper(a[i]) != upper(b[i])) return false;
  }
  return true;
}

}  // namespace

MusicKind MusicKindOf(std::string_view name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return MusicKind::kNone;
  const std::string_view extension = name.substr(dot);
  if (EqualsIgnoringCase(extension, ".CDA")) return MusicKind::kCdAudio;
  if (EqualsIgnoringCase(extension, ".WAV")) return MusicKind::kWave;
  if (EqualsIgnoringCase(extension, ".MID")) return MusicKind::kMidi;
  return MusicKind::kNone;
}

int CdTrackNumber(std::string_view fileNamePart) {
  constexpr size_t kSkipped = 5;
  if (fileNamePart.size() <= kSkipped) return 0;
  const std::string digits(fileNamePart.substr(kSkipped));  // strtol needs its terminator
  const long track = std::strtol(digits.c_str(), nullptr, 10);
  return track >= 1 && track <= 99 ? static_cast<int>(track) : 0;
}

int DriveIndex(std::string_view fullPath) {
  if (fullPath.empty()) return -1;
  const char letter = fullPath.front();
  if ((letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z')) return letter - 'A';
  return -1;
}

}  // namespace lumafolio
