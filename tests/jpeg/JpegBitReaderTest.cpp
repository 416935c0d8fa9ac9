// The bit reader: bit order, byte unstuffing from the first scan on (also across chunk
// boundaries), segment skipping across chunks, and zero bits past the end.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <random>
#include <vector>

#include "core/jpeg/JpegBitReader.h"
#include "core/jpeg/JpegMarkers.h"

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

// Reads the way the entropy decoder does: a window of up to 64 bits refilled by FillWindow
// below 32, bits dropped without a refill, EndEntropyData at the end.
class EntropyReader : public JpegBitReader {
 public:
  using JpegBitReader::JpegBitReader;
  uint32_t Take(int n) {  // 1 <= n <= 16
    State& s = CurrentState();
    if (s.bitCount < 32) FillWindow(s);
    const auto value = static_cast<uint32_t>(s.window >> (64 - n));
    Consume(s, n);
    return value;
  }
  void End() {
    State& s = CurrentState();
    if (s.bitCount <= 24) FillWindow(s);
    EndEntropyData();
  }
};

std::FILE* FileWith(const std::vector<uint8_t>& bytes) {
  std::FILE* file = std::tmpfile();
  if (file && !bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file);
  if (file) std::rewind(file);
  return file;
}

// Scan data with stuffed bytes, markers and long plain runs, read in pieces of 1 to 16 bits by
// both readers: the same bits, and after the scan the byte-wise reader's exact position (its
// bit count, and a segment skipped from the same place).
TEST(JpegBitReader, EntropyDecoderReadsTheSameBitsAndEndsWhereTheByteWiseReaderIs) {
  std::mt19937 random(3);
  for (int trial = 0; trial < 300; ++trial) {
    std::vector<uint8_t> bytes;
    while (bytes.size() < 200) {
      switch (random() % 6) {
        case 0:
          bytes.insert(bytes.end(), {jpeg_marker::kPrefix, jpeg_marker::kStuffed});
          break;
        case 1:
          bytes.insert(bytes.end(), {jpeg_marker::kPrefix,
                                     static_cast<uint8_t>(jpeg_marker::kRst0 + random() % 8)});
          break;
        case 2:
          bytes.push_back(0x00);
          break;
        default:
          for (int run = static_cast<int>(random() % 24); run >= 0; --run) {
            bytes.push_back(static_cast<uint8_t>(random() % 255));  // never 0xFF
          }
          break;
      }
    }
    std::vector<int> reads;
    for (int bits = 0; bits < 8 * 150;) {
      reads.push_back(1 + static_cast<int>(random() % 16));
      bits += reads.back();
    }
    const std::size_t skip = 4 + random() % 40;
    for (std::size_t chunk :
         {std::size_t{0}, std::size_t{1}, std::size_t{3}, std::size_t{7}, std::size_t{4096}}) {
      SCOPED_TRACE("trial " + std::to_string(trial) + " chunk " + std::to_string(chunk));
      std::unique_ptr<std::FILE, int (*)(std::FILE*)> fileA(chunk ? FileWith(bytes) : nullptr,
                                                            &std::fclose);
      std::unique_ptr<std::FILE, int (*)(std::FILE*)> fileB(chunk ? FileWith(bytes) : nullptr,
                                                            &std::fclose);
      std::unique_ptr<JpegBitReader> byteWise =
          chunk ? std::make_unique<JpegBitReader>(fileA.get(), chunk)
                : std::make_unique<JpegBitReader>(bytes);
      std::unique_ptr<EntropyReader> entropy =
          chunk ? std::make_unique<EntropyReader>(fileB.get(), chunk)
                : std::make_unique<EntropyReader>(bytes);
      byteWise->StartUnstuffing();
      entropy->StartUnstuffing();
      for (std::size_t i = 0; i < reads.size(); ++i) {
        ASSERT_EQ(entropy->Take(reads[i]), byteWise->GetBits(reads[i])) << "read " << i;
      }
      entropy->End();
      ASSERT_EQ(entropy->BitCount(), byteWise->BitCount());
      byteWise->AlignToByte();
      entropy->AlignToByte();
      byteWise->SkipBytes(skip);
      entropy->SkipBytes(skip);
      for (int i = 0; i < 8; ++i) ASSERT_EQ(entropy->GetBits(8), byteWise->GetBits(8)) << i;
    }
  }
}

}  // namespace
}  // namespace lumafolio
