// The bit reader: bit order, byte unstuffing from the first scan on (also across chunk
// boundaries), segment skipping across chunks, and zero bits past the end.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "jpeg/JpegBitReader.h"

namespace lumafolio {
namespace {

// The same bytes through a span and through files read in chunks of several sizes.
template <typename Check>
void ForEachSource(const std::vector<uint8_t>& bytes, Check check) {
  {
    SCOPED_TRACE("span");
    JpegBitReader reader(bytes);
    check(reader);
  }
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  std::fwrite("xyz", 1, 3, file);
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file);
  for (std::size_t chunk : {1, 2, 3, 5, 4096}) {
    SCOPED_TRACE(chunk);
    std::fseek(file, 3, SEEK_SET);
    JpegBitReader reader(file, chunk);
    check(reader);
  }
  std::fclose(file);
}

TEST(JpegBitReader, BitsComeMostSignificantFirst) {
  ForEachSource({0xA5, 0x3C, 0xFF, 0x01, 0x80}, [](JpegBitReader& r) {
    EXPECT_EQ(r.BitCount(), 32);
    EXPECT_EQ(r.GetBits(1), 1u);
    EXPECT_EQ(r.GetBits(3), 0b010u);
    EXPECT_EQ(r.GetBits(4), 0x5u);
    EXPECT_EQ(r.PeekBits(8), 0x3Cu);
    EXPECT_EQ(r.GetBits(16), 0x3CFFu);
    EXPECT_GE(r.BitCount(), 25);
    r.SkipBits(3);
    r.AlignToByte();
    EXPECT_EQ(r.GetBits(8), 0x80u);
    EXPECT_EQ(r.GetBits(16), 0u);  // past the end
    EXPECT_EQ(r.GetBits(16), 0u);
  });
}

TEST(JpegBitReader, StuffedZeroIsDroppedOnlyOnceUnstuffingStarts) {
  // Before the first scan 0xFF 0x00 is two bytes; afterwards one data byte 0xFF. 0xFF before
  // anything else (a marker) stays as it is.
  const std::vector<uint8_t> bytes = {0xFF, 0x00, 0x12, 0x34, 0x56, 0xFF, 0x00,
                                      0xFF, 0x00, 0xAB, 0xFF, 0xD3, 0x00};
  ForEachSource(bytes, [](JpegBitReader& r) {
    EXPECT_EQ(r.GetBits(16), 0xFF00u);
    EXPECT_EQ(r.GetBits(8), 0x12u);
    r.StartUnstuffing();  // the window already holds 0x34 0x56 0xFF 0x00 as loaded
    EXPECT_EQ(r.GetBits(16), 0x3456u);
    EXPECT_EQ(r.GetBits(16), 0xFF00u);
    EXPECT_EQ(r.GetBits(8), 0xFFu);  // from 0xFF 0x00
    EXPECT_EQ(r.GetBits(8), 0xABu);
    EXPECT_EQ(r.GetBits(16), 0xFFD3u);
    EXPECT_EQ(r.GetBits(8), 0x00u);
  });
}

TEST(JpegBitReader, SkipBytesDropsSegmentsOfAnyLength) {
  std::vector<uint8_t> bytes(300);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i);
  ForEachSource(bytes, [](JpegBitReader& r) {
    r.SkipBytes(2);
    EXPECT_EQ(r.GetBits(8), 2u);
    r.SkipBytes(4);  // 3 to 6
    EXPECT_EQ(r.GetBits(8), 7u);
    r.SkipBytes(250);                   // 8 to 257
    EXPECT_EQ(r.GetBits(16), 0x0203u);  // bytes 258 and 259
    r.SkipBytes(1000);                  // past the end
    EXPECT_EQ(r.GetBits(16), 0u);
  });
}

TEST(JpegBitReader, EmptyInputReadsAsZeros) {
  ForEachSource({}, [](JpegBitReader& r) {
    EXPECT_EQ(r.GetBits(16), 0u);
    r.SkipBytes(70000);
    EXPECT_EQ(r.GetBits(8), 0u);
  });
}

}  // namespace
}  // namespace lumafolio
