// The two-level Huffman lookup against codes assigned independently by the canonical
// procedure (consecutive codes of each length, shorter ones first).
#include <gtest/gtest.h>

#include "JpegStreamWriter.h"
#include "core/jpeg/HuffmanLookup.h"

namespace lumafolio {
namespace {

// Every symbol's code, followed by any bits, looks up to that symbol and length.
void ExpectEveryCodeFound(const test::HuffmanTable& table) {
  HuffmanLookup lookup;
  ASSERT_TRUE(lookup.Build(table.counts, table.symbols));
  const auto codes = table.Codes();
  for (uint8_t symbol : table.symbols) {
    const auto code = codes[symbol];
    for (uint32_t tail : {0u, 0xFFFFFFFFu, 0x5A5A5A5Au}) {
      const uint32_t window =
          code.bits << (32 - code.length) | (code.length < 32 ? tail >> code.length : 0);
      const uint32_t entry = lookup.Find(window);
      ASSERT_EQ(entry >> 16, uint32_t(code.length)) << int(symbol);
      ASSERT_EQ(entry & 0xFF, symbol);
    }
  }
}

TEST(HuffmanLookup, ShortCodesFillFirstLevelEntries) {
  test::HuffmanTable table;
  table.counts[0] = 1;  // "0"
  table.counts[2] = 2;  // "100", "101"
  table.symbols = {7, 8, 9};
  HuffmanLookup lookup;
  ASSERT_TRUE(lookup.Build(table.counts, table.symbols));
  for (int i = 0; i < 128; ++i) ASSERT_EQ(lookup.FirstLevel()[i], (1u << 16) | 7);
  for (int i = 128; i < 160; ++i) ASSERT_EQ(lookup.FirstLevel()[i], (3u << 16) | 8);
  for (int i = 160; i < 192; ++i) ASSERT_EQ(lookup.FirstLevel()[i], (3u << 16) | 9);
  for (int i = 192; i < 256; ++i) ASSERT_EQ(lookup.FirstLevel()[i], 0u);  // no code
  EXPECT_EQ(lookup.SecondLevelCount(), 0u);
  ExpectEveryCodeFound(table);
}

TEST(HuffmanLookup, NineBitDcCodeGetsOneSecondLevelTable) {
  const test::HuffmanTable table = test::LongDcTable();
  HuffmanLookup lookup;
  ASSERT_TRUE(lookup.Build(table.counts, table.symbols));
  EXPECT_EQ(lookup.SecondLevelCount(), 1u);
  // 11 four-bit codes take 176 entries; the link follows.
  EXPECT_EQ(lookup.FirstLevel()[176], HuffmanLookup::kLink);
  const auto& second = lookup.SecondLevel(0);
  for (int i = 0; i < 128; ++i) ASSERT_EQ(second[i], (9u << 16) | 11);
  for (int i = 128; i < 256; ++i) ASSERT_EQ(second[i], 0u);
  for (int i = 177; i < 256; ++i) ASSERT_EQ(lookup.FirstLevel()[i], 0u);
  ExpectEveryCodeFound(table);
}

TEST(HuffmanLookup, EachFull256EntriesStartANewSecondLevelTable) {
  const test::HuffmanTable table = test::LongAcTable();
  HuffmanLookup lookup;
  ASSERT_TRUE(lookup.Build(table.counts, table.symbols));
  // 30 nine-bit codes fill 15 tables exactly; the 12- and 16-bit ones start the 16th.
  EXPECT_EQ(lookup.SecondLevelCount(), 16u);
  ExpectEveryCodeFound(table);
}

TEST(HuffmanLookup, CompleteSixteenBitCodeSpace) {
  // One code of each length 1 to 15 and two of 16 bits: exactly full.
  test::HuffmanTable table;
  for (int n = 0; n < 15; ++n) table.counts[n] = 1;
  table.counts[15] = 2;
  for (int s = 0; s < 17; ++s) table.symbols.push_back(static_cast<uint8_t>(s * 13));
  HuffmanLookup lookup;
  ASSERT_TRUE(lookup.Build(table.counts, table.symbols));
  EXPECT_EQ(lookup.FirstLevel()[255], HuffmanLookup::kLink);
  ExpectEveryCodeFound(table);
}

TEST(HuffmanLookup, OverfullCountsAreRefusedAndLeaveTheTableEmpty) {
  test::HuffmanTable table;
  for (int n = 0; n < 15; ++n) table.counts[n] = 1;
  table.counts[15] = 3;  // one 16-bit code too many
  for (int s = 0; s < 18; ++s) table.symbols.push_back(static_cast<uint8_t>(s));
  HuffmanLookup lookup;
  ASSERT_TRUE(lookup.Build(test::FlatDcTable().counts, test::FlatDcTable().symbols));
  EXPECT_FALSE(lookup.Build(table.counts, table.symbols));
  EXPECT_EQ(lookup.Find(0), 0u);
  EXPECT_EQ(lookup.SecondLevelCount(), 0u);
}

// Every entry of the one-step AC lookup against the canonical codes: the symbol whose code
// starts the index, the bits of code and value, and the value by the sign rule (a leading 0
// bit means value bits - (2^size - 1)); empty where no code starts the index or the value does
// not fit in it.
void ExpectFastEntries(const test::HuffmanTable& table) {
  HuffmanLookup lookup;
  ASSERT_TRUE(lookup.Build(table.counts, table.symbols));
  FastAcLookup fast;
  fast.Build(lookup);
  constexpr int kBits = FastAcLookup::kBits;
  const auto codes = table.Codes();
  for (uint32_t index = 0; index < (1u << kBits); ++index) {
    int32_t expected = 0;
    for (uint8_t symbol : table.symbols) {
      const auto code = codes[symbol];
      const int size = symbol & 15;
      if (code.length > kBits || (index >> (kBits - code.length)) != code.bits) continue;
      if (code.length + size <= kBits) {
        const int shift = kBits - code.length - size;
        int value = static_cast<int>((index >> shift) & ((1u << size) - 1));
        if (size > 0 && value < (1 << (size - 1))) value -= (1 << size) - 1;
        expected = static_cast<int32_t>(static_cast<uint32_t>(value) << 16 | uint32_t{symbol} << 8 |
                                        static_cast<uint32_t>(code.length + size));
      }
      break;
    }
    ASSERT_EQ(fast.Entries()[index], expected) << "index " << index;
    // The window's further bits do not matter.
    const uint64_t window = uint64_t{index} << (64 - kBits) | 0x5A5A5A5A5Au;
    ASSERT_EQ(fast.Find(window), expected);
  }
}

TEST(FastAcLookup, EntriesMatchTheCodesAndValuesOfEveryTable) {
  ExpectFastEntries(test::FlatAcTable());
  ExpectFastEntries(test::LongAcTable());
  // Short codes with room left over (no code starts with 1111), sizes that fit and that do not.
  test::HuffmanTable shortCodes;
  shortCodes.counts[1] = 2;  // 00 01
  shortCodes.counts[2] = 2;  // 100 101
  shortCodes.counts[3] = 2;  // 1100 1101
  shortCodes.counts[4] = 1;  // 11100
  shortCodes.symbols = {0x01, 0x00, 0x12, 0xF0, 0x08, 0x0A, 0x3F};
  ExpectFastEntries(shortCodes);
}

}  // namespace
}  // namespace lumafolio
