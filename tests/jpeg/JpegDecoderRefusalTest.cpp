// Damaged or unsupported streams: each is refused as a failure of that one picture, never by
// reading or writing outside a table or a plane (the sanitizer build watches), never by ending
// the process.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DcPicture.h"
#include "JpegStreamWriter.h"
#include "core/jpeg/JpegDecoder.h"
#include "core/jpeg/JpegMarkers.h"

namespace lumafolio {
namespace {

using test::JpegStreamWriter;

struct Parts {
  bool frame = true;
  int width = 16, height = 16, precision = 8;
  std::vector<JpegStreamWriter::FrameComponent> components = {{1, 1, 1, 0}};
  std::vector<JpegStreamWriter::ScanComponent> scan = {{1, 0, 0}};
  std::vector<uint8_t> extraBeforeFrame;
};

// A header sequence with the given pieces, a few DC-only blocks and EOI.
std::vector<uint8_t> Stream(const Parts& parts) {
  JpegStreamWriter w;
  w.Soi();
  w.Dqt(0, test::UnitQuant());
  w.Dht(0, 0, test::FlatDcTable());
  w.Dht(1, 0, test::FlatAcTable());
  for (uint8_t byte : parts.extraBeforeFrame) w.Byte(byte);
  if (parts.frame) {
    std::vector<uint8_t> body = {
        static_cast<uint8_t>(parts.precision), static_cast<uint8_t>(parts.height >> 8),
        static_cast<uint8_t>(parts.height),    static_cast<uint8_t>(parts.width >> 8),
        static_cast<uint8_t>(parts.width),     static_cast<uint8_t>(parts.components.size())};
    for (const auto& c : parts.components) {
      body.insert(body.end(), {static_cast<uint8_t>(c.id), static_cast<uint8_t>(c.h << 4 | c.v),
                               static_cast<uint8_t>(c.tq)});
    }
    w.Segment(jpeg_marker::kSof0, body);
  }
  w.Sos(parts.scan);
  int predictor = 0;
  for (int i = 0; i < 12; ++i) w.DcBlock(8, predictor, test::FlatDcTable(), test::FlatAcTable());
  w.FlushBits();
  w.Eoi();
  return w.Bytes();
}

std::string Refusal(const std::vector<uint8_t>& bytes, JpegLimits limits = {}) {
  JpegDecoder decoder(bytes, limits);
  if (decoder.ParseMarkers()) return "accepted";
  return decoder.FailureReason();
}

TEST(JpegDecoderRefusal, TheSoundStreamOfTheseCasesIsAccepted) {
  EXPECT_EQ(Refusal(Stream({})), "accepted");
}

TEST(JpegDecoderRefusal, FrameHeaders) {
  Parts p;
  p.width = 0;
  EXPECT_EQ(Refusal(Stream(p)), "frame without width or height");
  p = {};
  p.height = 0;  // would need a DNL segment
  EXPECT_EQ(Refusal(Stream(p)), "frame without width or height");
  p = {};
  p.width = 16385;
  EXPECT_EQ(Refusal(Stream(p)), "frame too large");
  p = {};
  p.width = 9000;
  p.height = 9000;  // each side allowed, the product not
  EXPECT_EQ(Refusal(Stream(p)), "frame too large");
  p = {};
  p.width = 100;
  p.height = 100;
  EXPECT_EQ(Refusal(Stream(p), JpegLimits{64, 1 << 20}), "frame too large");
  p = {};
  p.precision = 12;
  EXPECT_EQ(Refusal(Stream(p)), "sample precision other than 8 bits");
  for (int count : {0, 2, 4}) {
    p = {};
    p.components.assign(count, {1, 1, 1, 0});
    for (int i = 0; i < count; ++i) p.components[i].id = i + 1;
    EXPECT_EQ(Refusal(Stream(p)), "component count other than 1 or 3") << count;
  }
  for (int factor : {0, 3, 5, 8}) {
    p = {};
    p.components = {{1, factor, 1, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}};
    p.scan = {{1, 0, 0}, {2, 0, 0}, {3, 0, 0}};
    EXPECT_EQ(Refusal(Stream(p)), "sampling factor not 1, 2 or 4") << factor;
    p.components = {{1, 1, 1, 0}, {2, 1, factor, 0}, {3, 1, 1, 0}};
    EXPECT_EQ(Refusal(Stream(p)), "sampling factor not 1, 2 or 4") << factor;
  }
  p = {};
  p.components = {{1, 1, 1, 4}};
  EXPECT_EQ(Refusal(Stream(p)), "quantisation table selector above 3");
}

TEST(JpegDecoderRefusal, SecondFrameHeader) {
  Parts p;
  JpegStreamWriter w;
  w.Sof0(16, 16, {{1, 1, 1, 0}});
  p.extraBeforeFrame = w.Bytes();
  EXPECT_EQ(Refusal(Stream(p)), "second frame header");
}

TEST(JpegDecoderRefusal, ScanHeaders) {
  Parts p;
  p.frame = false;
  EXPECT_EQ(Refusal(Stream(p)), "scan without a frame");
  p = {};
  p.scan = {};
  EXPECT_EQ(Refusal(Stream(p)), "scan does not code every component");
  p = {};
  p.scan = {{1, 0, 0}, {1, 0, 0}, {1, 0, 0}, {1, 0, 0}, {1, 0, 0}};
  EXPECT_EQ(Refusal(Stream(p)), "scan does not code every component");
  p = {};
  p.components = {{1, 1, 1, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}};
  p.scan = {{1, 0, 0}};  // a non-interleaved scan
  EXPECT_EQ(Refusal(Stream(p)), "scan does not code every component");
  p.scan = {{1, 0, 0}, {2, 0, 0}, {2, 0, 0}};
  EXPECT_EQ(Refusal(Stream(p)), "scan names a component twice");
  p = {};
  p.scan = {{7, 0, 0}};
  EXPECT_EQ(Refusal(Stream(p)), "scan names a component the frame lacks");
  p = {};
  p.scan = {{1, 2, 0}};
  EXPECT_EQ(Refusal(Stream(p)), "Huffman table selector above 1");
  p.scan = {{1, 0, 15}};
  EXPECT_EQ(Refusal(Stream(p)), "Huffman table selector above 1");
}

TEST(JpegDecoderRefusal, SecondScan) {
  test::DcPicture picture;
  std::vector<uint8_t> bytes = picture.Encode();
  bytes.resize(bytes.size() - 2);  // EOI
  JpegStreamWriter w;
  w.Sos({{1, 0, 0}});
  bytes.insert(bytes.end(), w.Bytes().begin(), w.Bytes().end());
  EXPECT_EQ(Refusal(bytes), "second scan");
}

TEST(JpegDecoderRefusal, NonBaselineFramesLeaveNoFrame) {
  for (int code :
       {jpeg_marker::kSof1, jpeg_marker::kSof2, jpeg_marker::kSof3, jpeg_marker::kSof9}) {
    test::DcPicture picture;
    std::vector<uint8_t> bytes = picture.Encode();
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i) {
      if (bytes[i] == jpeg_marker::kPrefix && bytes[i + 1] == jpeg_marker::kSof0) {
        bytes[i + 1] = static_cast<uint8_t>(code);
      }
    }
    EXPECT_EQ(Refusal(bytes), "scan without a frame") << code;
  }
}

TEST(JpegDecoderRefusal, NoFrameOrScanAtAll) {
  EXPECT_EQ(Refusal({}), "no baseline (SOF0) frame");
  EXPECT_EQ(
      Refusal({jpeg_marker::kPrefix, jpeg_marker::kSoi, jpeg_marker::kPrefix, jpeg_marker::kEoi}),
      "no baseline (SOF0) frame");
  EXPECT_EQ(Refusal({'G', 'I', 'F', '8'}), "no baseline (SOF0) frame");
  JpegStreamWriter w;
  w.Soi();
  w.Sof0(8, 8, {{1, 1, 1, 0}});
  w.Eoi();
  EXPECT_EQ(Refusal(w.Bytes()), "no scan");
}

TEST(JpegDecoderRefusal, TableSegments) {
  const auto withSegment = [](int code, std::vector<uint8_t> body) {
    Parts p;
    JpegStreamWriter w;
    w.Segment(code, body);
    p.extraBeforeFrame = w.Bytes();
    return Refusal(Stream(p));
  };
  std::vector<uint8_t> dqt(65, 1);
  dqt[0] = 0x04;  // Tq 4
  EXPECT_EQ(withSegment(jpeg_marker::kDqt, dqt),
            "quantisation table precision above 1 or selector above 3");
  dqt[0] = 0x20;  // Pq 2
  EXPECT_EQ(withSegment(jpeg_marker::kDqt, dqt),
            "quantisation table precision above 1 or selector above 3");

  const auto dht = [](int tcth, std::array<uint8_t, 16> counts, int symbols) {
    std::vector<uint8_t> body = {static_cast<uint8_t>(tcth)};
    body.insert(body.end(), counts.begin(), counts.end());
    body.insert(body.end(), symbols, 0);
    return body;
  };
  std::array<uint8_t, 16> counts{};
  counts[3] = 12;
  EXPECT_EQ(withSegment(jpeg_marker::kDht, dht(0x20, counts, 12)),
            "Huffman table class or selector above 1");
  EXPECT_EQ(withSegment(jpeg_marker::kDht, dht(0x02, counts, 12)),
            "Huffman table class or selector above 1");
  counts[3] = 17;  // 17 codes of 4 bits
  EXPECT_EQ(withSegment(jpeg_marker::kDht, dht(0x00, counts, 17)),
            "Huffman code lengths overfill the table");
  counts = {};
  counts[7] = 200;
  counts[8] = 200;  // 200/256 + 200/512
  EXPECT_EQ(withSegment(jpeg_marker::kDht, dht(0x10, counts, 400)),
            "Huffman code lengths overfill the table");
  counts = {};
  counts[15] = 255;
  counts[14] = 2;  // fits the code space, but more than 256 symbols
  EXPECT_EQ(withSegment(jpeg_marker::kDht, dht(0x10, counts, 257)),
            "Huffman code lengths overfill the table");

  EXPECT_EQ(withSegment(jpeg_marker::kApp1, {}), "accepted");
  Parts p;
  p.extraBeforeFrame = {jpeg_marker::kPrefix, jpeg_marker::kApp1, 0x00,
                        0x01};  // length below its own two bytes
  EXPECT_EQ(Refusal(Stream(p)), "bad segment length");
  p.extraBeforeFrame = {jpeg_marker::kPrefix, jpeg_marker::kDri, 0x00, 0x02, 0x00, 0x00};
  EXPECT_EQ(Refusal(Stream(p)), "bad DRI segment length");
}

// A 16x8 grey picture: the first block's AC data given as symbols and raw bits (its DC
// difference 0), the second block a DC difference of 80 and EOB.
std::vector<uint8_t> BlockOfSymbols(const std::vector<std::pair<int, int>>& acSymbolsAndBits) {
  test::HuffmanTable acTable = test::FlatAcTable();
  acTable.symbols.push_back(0x30);  // not baseline: run 3, size 0
  acTable.counts[7] = static_cast<uint8_t>(acTable.symbols.size());
  JpegStreamWriter w;
  w.Soi();
  w.Dqt(0, test::UnitQuant());
  w.Dht(0, 0, test::FlatDcTable());
  w.Dht(1, 0, acTable);
  w.Sof0(16, 8, {{1, 1, 1, 0}});
  w.Sos({{1, 0, 0}});
  const auto ac = acTable.Codes();
  w.PutBits(0, 4);  // DC size 0
  for (auto [symbol, bits] : acSymbolsAndBits) {
    w.PutBits(ac[symbol].bits, ac[symbol].length);
    if (symbol & 15) w.PutBits(static_cast<uint32_t>(bits), symbol & 15);
  }
  int predictor = 0;
  w.DcBlock(80, predictor, test::FlatDcTable(), acTable);
  w.FlushBits();
  w.Eoi();
  return w.Bytes();
}

TEST(JpegDecoderRefusal, CoefficientIndexPast63) {
  // Run 15 + size 1 four times reaches 64.
  EXPECT_EQ(Refusal(BlockOfSymbols({{0xF1, 1}, {0xF1, 1}, {0xF1, 1}, {0xF1, 1}})),
            "coefficient index past 63");
  // A ZRL that ends exactly at 63 and an EOB is well-formed enough.
  EXPECT_EQ(Refusal(BlockOfSymbols({{0xE1, 1}, {0xF0, 0}, {0xF0, 0}, {0xF0, 0}, {0x00, 0}})),
            "accepted");
  // A size-0 symbol other than EOB and ZRL skips its run.
  EXPECT_EQ(Refusal(BlockOfSymbols({{0x30, 0}, {0x01, 1}, {0x00, 0}})), "accepted");
}

TEST(JpegDecoderRefusal, ZeroRunPast63IsDamageOnlyWhenMoreThanEndOfBlockFollows) {
  // A coefficient at 50, then a ZRL to 66.
  const std::vector<std::pair<int, int>> past63 = {
      {0xF0, 0}, {0xF0, 0}, {0xF0, 0}, {0x13, 5}, {0xF0, 0}};
  auto withEob = past63;
  withEob.push_back({0x00, 0});
  const std::vector<uint8_t> bytes = BlockOfSymbols(withEob);
  JpegDecoder decoder(bytes);
  ASSERT_TRUE(decoder.ParseMarkers()) << decoder.FailureReason();
  // The EOB was read with the block: the next block's DC comes out right.
  EXPECT_EQ(decoder.Components()[0].plane[8], test::DcOnlySample(80));
  auto withCoefficient = past63;
  withCoefficient.push_back({0x01, 1});
  EXPECT_EQ(Refusal(BlockOfSymbols(withCoefficient)), "coefficient index past 63");
  auto withRun = past63;
  withRun.push_back({0xF0, 0});
  EXPECT_EQ(Refusal(BlockOfSymbols(withRun)), "zero run past the end of the block");
}

TEST(JpegDecoderRefusal, DcSizeAbove16) {
  test::HuffmanTable dc;
  dc.counts[4] = 18;  // sizes 0 to 17, 5 bits each
  for (int s = 0; s < 18; ++s) dc.symbols.push_back(static_cast<uint8_t>(s));
  JpegStreamWriter w;
  w.Soi();
  w.Dqt(0, test::UnitQuant());
  w.Dht(0, 0, dc);
  w.Dht(1, 0, test::FlatAcTable());
  w.Sof0(8, 8, {{1, 1, 1, 0}});
  w.Sos({{1, 0, 0}});
  w.PutBits(dc.Codes()[17].bits, 5);
  w.PutBits(0x1FFFF, 17);
  w.FlushBits();
  w.Eoi();
  EXPECT_EQ(Refusal(w.Bytes()), "DC difference longer than 16 bits");
}

TEST(JpegDecoderRefusal, EmptyHuffmanTablesDecodeZeros) {
  // A scan before any DHT: every lookup is empty, consumes nothing and yields symbol 0; the
  // picture comes out flat mid-grey instead of looping or failing.
  JpegStreamWriter w;
  w.Soi();
  w.Sof0(16, 16, {{1, 1, 1, 0}});
  w.Sos({{1, 1, 1}});
  w.PutBits(0xABCD, 16);
  w.Eoi();
  JpegDecoder decoder(w.Bytes());
  ASSERT_TRUE(decoder.ParseMarkers()) << decoder.FailureReason();
  for (uint8_t sample : decoder.Components()[0].plane) ASSERT_EQ(sample, 128);
}

}  // namespace
}  // namespace lumafolio
