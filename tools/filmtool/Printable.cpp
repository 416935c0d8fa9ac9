#include "tools/filmtool/Printable.h"

#include <cstdint>
#include <cstdio>

namespace lumafolio {

std::string Printable(std::string_view utf8) {
  std::string shown;
  shown.reserve(utf8.size());
  char escape[8];
  for (size_t i = 0; i < utf8.size(); ++i) {
    const auto byte = static_cast<uint8_t>(utf8[i]);
    const auto next = i + 1 < utf8.size() ? static_cast<uint8_t>(utf8[i + 1]) : 0;
    if (byte < 0x20 || byte == 0x7F) {
      std::snprintf(escape, sizeof escape, "\\x%02X", byte);
      shown += escape;
    } else if (byte == 0xC2 && next >= 0x80 && next < 0xA0) {
      std::snprintf(escape, sizeof escape, "\\u%04X", next);
      shown += escape;
      ++i;
    } else {
      shown += static_cast<char>(byte);
    }
  }
  return shown;
}

bool IsCp1252Control(char byte) {
  const auto value = static_cast<uint8_t>(byte);
  return value < 0x20 || value == 0x7F || value == 0x81 || value == 0x8D || value == 0x8F ||
         value == 0x90 || value == 0x9D;
}

}  // namespace lumafolio
