#include "jpeg/HuffmanLookup.h"

namespace lumafolio {

bool HuffmanLookup::Build(const std::array<uint8_t, 16>& counts, std::span<const uint8_t> symbols) {
  first_.fill(0);
  second_.clear();

  // The code space in units of 2^-16: a code of length n takes 2^(16 - n) units. Complete
  // code sets take exactly 65536; anything beyond cannot be indexed.
  uint32_t units = 0;
  std::size_t symbolCount = 0;
  for (int n = 1; n <= 16; ++n) {
    units += uint32_t{counts[n - 1]} << (16 - n);
    symbolCount += counts[n - 1];
  }
  if (units > 65536 || symbolCount > 256 || symbolCount > symbols.size()) return false;

  std::size_t next = 0;  // next symbol
  std::size_t e = 0;     // next first-level entry
  for (int n = 1; n <= 8; ++n) {
    for (int i = 0; i < counts[n - 1]; ++i) {
      const uint32_t entry = uint32_t(n) << 16 | symbols[next++];
      for (int fill = 0; fill < (1 << (8 - n)); ++fill) first_[e++] = entry;
    }
  }
  // Codes of up to 8 bits fill whole first-level entries, so the long codes begin on a fresh
  // 8-bit prefix and each block of 256 second-level entries belongs to one prefix.
  std::size_t s = 256;
  for (int n = 9; n <= 16; ++n) {
    for (int i = 0; i < counts[n - 1]; ++i) {
      const uint32_t entry = uint32_t(n) << 16 | symbols[next++];
      for (int fill = 0; fill < (1 << (16 - n)); ++fill) {
        if (s == 256) {
          second_.emplace_back();
          second_.back().fill(0);
          first_[e++] = kLink | static_cast<uint32_t>(second_.size() - 1);
          s = 0;
        }
        second_.back()[s++] = entry;
      }
    }
  }
  return true;
}

}  // namespace lumafolio
