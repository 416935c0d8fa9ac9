#pragma once

#include <array>
#include <cstdint>

namespace lumafolio {

// The font of a caption exactly as a film stores it: the 60 bytes of a Windows LOGFONTA.
// Kept here as a portable record so that the film code needs no <windows.h>; the Win32 layer
// copies it field by field into the platform's own structure.
struct LogFontA {
  static constexpr int kFaceSize = 32;
  static constexpr int kRecordSize = 60;

  int32_t height = 0;
  int32_t width = 0;
  int32_t escapement = 0;
  int32_t orientation = 0;
  int32_t weight = 0;
  uint8_t italic = 0;
  uint8_t underline = 0;
  uint8_t strikeOut = 0;
  uint8_t charSet = 0;
  uint8_t outPrecision = 0;
  uint8_t clipPrecision = 0;
  uint8_t quality = 0;
  uint8_t pitchAndFamily = 0;
  std::array<char, kFaceSize> faceName{};  // NUL-terminated when shorter than 32 bytes

  bool operator==(const LogFontA&) const = default;
};

}  // namespace lumafolio
