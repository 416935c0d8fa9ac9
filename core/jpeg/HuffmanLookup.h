#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace lumafolio {

// A Huffman table as lookups on the window: the first level is indexed by the next 8 bits;
// codes longer than 8 bits sit in second-level tables of 256 entries, indexed by the 8 bits
// that follow, linked from the first level.
//
// An entry is empty (0), a code (length << 16 | symbol, length 1 to 16 counted from the code's
// first bit) or a link (kLink | index of the second-level table).
class HuffmanLookup {
 public:
  static constexpr uint32_t kLink = 0x80000000u;

  HuffmanLookup() { first_.fill(0); }

  // Builds the table from the 16 code-length counts and the symbols in code order (canonical
  // codes: codes of one length follow one another, so filling entries in order reproduces
  // the code assignment). Refuses counts whose codes do not fit in 16 bits (more than 2^16
  // entries of the finest level, which would overrun the tables) and more than 256 symbols;
  // a refused table is left empty.
  bool Build(const std::array<uint8_t, 16>& counts, std::span<const uint8_t> symbols);

  // The code entry for a window whose next bit is bit 31: empty when the bits are no code.
  uint32_t Find(uint32_t window) const {
    uint32_t entry = first_[window >> 24];
    if (entry & kLink) entry = second_[entry & ~kLink][(window >> 16) & 0xFF];
    return entry;
  }

  const std::array<uint32_t, 256>& FirstLevel() const { return first_; }
  std::size_t SecondLevelCount() const { return second_.size(); }
  const std::array<uint32_t, 256>& SecondLevel(std::size_t index) const { return second_[index]; }

 private:
  std::array<uint32_t, 256> first_;
  std::vector<std::array<uint32_t, 256>> second_;
};

// One look-up for the commonest AC codes: indexed by the next kBits bits, an entry holds what
// the code and the coefficient value after it come to, so that the entropy decoder does one
// table access (and no separate value extraction) per coefficient. An entry is
//   bits 0..7:   bits to drop, code and value together (0: not covered, use HuffmanLookup)
//   bits 8..15:  the symbol (run << 4 | size)
//   bits 16..31: the coefficient value, sign-extended from `size` bits (0 when size is 0)
// Codes of at most kBits bits whose value fits in the rest of the kBits are covered, and so
// are end-of-block and runs of zeros (size 0) of at most kBits bits.
class FastAcLookup {
 public:
  static constexpr int kBits = 10;

  FastAcLookup() { entries_.fill(0); }
  void Build(const HuffmanLookup& lookup);
  int32_t Find(uint64_t window) const { return entries_[window >> (64 - kBits)]; }
  const std::array<int32_t, 1 << kBits>& Entries() const { return entries_; }

 private:
  std::array<int32_t, 1 << kBits> entries_;
};

}  // namespace lumafolio
