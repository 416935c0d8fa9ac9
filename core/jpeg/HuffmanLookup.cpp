#include "core/jpeg/HuffmanLookup.h"

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

void FastAcLookup::Build(const HuffmanLookup& lookup) {
  for (uint32_t index = 0; index < entries_.size(); ++index) {
    const uint32_t window = index << (32 - kBits);
    const uint32_t entry = lookup.Find(window);
    const int length = static_cast<int>(entry >> 16) & 0x1F;
    const int symbol = static_cast<int>(entry & 0xFF);
    const int size = symbol & 15;
    int32_t fast = 0;
    if (length > 0 && length + size <= kBits) {
      int value = 0;
      if (size > 0) {
        // The value's bits follow the code; a leading 0 means negative (value - (2^size - 1)).
        value = static_cast<int>((window << length) >> (32 - size));
        if ((value >> (size - 1)) == 0) value -= (1 << size) - 1;
      }
      fast = static_cast<int32_t>(static_cast<uint32_t>(value) << 16 |
                                  static_cast<uint32_t>(symbol) << 8 |
                                  static_cast<uint32_t>(length + size));
    }
    entries_[index] = fast;
  }
}

}  // namespace lumafolio
