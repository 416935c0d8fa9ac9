#pragma once

#include <cstdint>
#include <cstring>
#include <string>

namespace lumafolio {

// Film records are little-endian whatever the machine; these read and write them byte by byte.
inline int32_t ReadLe32(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                              static_cast<uint32_t>(p[2]) << 16 |
                              static_cast<uint32_t>(p[3]) << 24);
}

inline void WriteLe32(uint8_t* p, int32_t value) {
  const auto v = static_cast<uint32_t>(value);
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

// A NUL-terminated text in a fixed field: up to the first NUL, never past the field.
inline std::string ReadText(const uint8_t* p, size_t width) {
  const void* nul = std::memchr(p, 0, width);
  const size_t length = nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - p) : width;
  return std::string(reinterpret_cast<const char*>(p), length);
}

// Writes at most width - 1 bytes and pads the rest of the field with NULs.
inline void WriteText(uint8_t* p, size_t width, const std::string& text) {
  const size_t length = text.size() < width ? text.size() : width - 1;
  std::memset(p, 0, width);
  std::memcpy(p, text.data(), length);
}

}  // namespace lumafolio
