// The decoder on streams written block by block: every sample of a DC-only picture is known,
// so block placement, sampling, restarts and the refusal of damaged headers can be checked
// exactly.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "DcPicture.h"
#include "JpegStreamWriter.h"
#include "core/jpeg/JpegDecoder.h"
#include "core/jpeg/JpegMarkers.h"

namespace lumafolio {
namespace {

using test::DcOnlySample;
using test::DcPicture;
using test::JpegStreamWriter;

// A DC value per block that differs between neighbours and components.
int Pattern(int component, int bx, int by) {
  return ((bx * 37 + by * 101 + component * 53) % 400) - 200;
}

// Checks every sample of every plane against the block's DC value.
void ExpectPlanes(const JpegDecoder& decoder, const DcPicture& picture) {
  ASSERT_EQ(decoder.Components().size(), picture.components.size());
  for (std::size_t c = 0; c < picture.components.size(); ++c) {
    const JpegComponent& component = decoder.Components()[c];
    const int rows = picture.McuRows() * 8 * component.v;
    ASSERT_EQ(component.stride, std::size_t(picture.McusPerRow()) * 8 * component.h);
    ASSERT_EQ(component.plane.size(), component.stride * rows);
    for (int y = 0; y < rows; ++y) {
      for (std::size_t x = 0; x < component.stride; ++x) {
        const int expected =
            DcOnlySample(picture.dc(static_cast<int>(c), static_cast<int>(x / 8), y / 8));
        ASSERT_EQ(component.plane[y * component.stride + x], expected)
            << "component " << c << " at " << x << "," << y;
      }
    }
  }
}

TEST(JpegDecoderLayout, SamplingFactorsPlaceEveryBlockOfTheMcu) {
  struct Case {
    const char* name;
    int lumaH, lumaV;
    int width, height;
  };
  for (const Case& c :
       {Case{"4:4:4", 1, 1, 40, 24}, Case{"4:2:2", 2, 1, 41, 17}, Case{"4:2:0", 2, 2, 33, 47},
        Case{"4:4:0", 1, 2, 16, 30}, Case{"4:1:1", 4, 1, 70, 9}}) {
    SCOPED_TRACE(c.name);
    DcPicture picture;
    picture.width = c.width;
    picture.height = c.height;
    picture.components = {{1, c.lumaH, c.lumaV, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}};
    picture.dc = Pattern;
    const std::vector<uint8_t> bytes = picture.Encode();
    JpegDecoder decoder(bytes);
    ASSERT_TRUE(decoder.ParseMarkers()) << decoder.FailureReason();
    EXPECT_EQ(decoder.Width(), c.width);
    EXPECT_EQ(decoder.Height(), c.height);
    EXPECT_EQ(decoder.McusPerRow(), picture.McusPerRow());
    EXPECT_EQ(decoder.McuRows(), picture.McuRows());
    ExpectPlanes(decoder, picture);
  }
}

TEST(JpegDecoderLayout, GreyPictureIgnoresItsSamplingFactors) {
  for (int factor : {1, 2}) {
    DcPicture picture;
    picture.width = 27;
    picture.height = 19;
    picture.components = {{1, factor, factor, 0}};
    picture.dc = Pattern;
    const std::vector<uint8_t> bytes = picture.Encode();
    JpegDecoder decoder(bytes);
    ASSERT_TRUE(decoder.ParseMarkers()) << decoder.FailureReason();
    EXPECT_EQ(decoder.Components()[0].h, 1);
    picture.components = {{1, 1, 1, 0}};
    ExpectPlanes(decoder, picture);
  }
}

TEST(JpegDecoderLayout, LongHuffmanCodesDecodeThroughSecondLevelTables) {
  DcPicture picture;
  picture.width = 64;
  picture.height = 32;
  picture.components = {{1, 2, 2, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}};
  // Differences of 11 bits need the 9-bit DC code.
  picture.dc = [](int c, int bx, int by) { return ((bx + by + c) % 2) ? 1000 : -1000; };
  picture.dcTable = test::LongDcTable();
  picture.acTable = test::LongAcTable();
  const std::vector<uint8_t> bytes = picture.Encode();
  JpegDecoder decoder(bytes);
  ASSERT_TRUE(decoder.ParseMarkers()) << decoder.FailureReason();
  ExpectPlanes(decoder, picture);
}

// A stream of one 8x8 grey block with arbitrary coefficients.
std::vector<uint8_t> OneBlock(const std::array<int, 64>& zigzag,
                              const std::array<uint16_t, 64>& quant = test::UnitQuant(),
                              bool wide = false) {
  JpegStreamWriter w;
  w.Soi();
  w.Dqt(0, quant, wide);
  w.Dht(0, 0, test::FlatDcTable());
  w.Dht(1, 0, test::LongAcTable());
  w.Sof0(8, 8, {{1, 1, 1, 0}});
  w.Sos({{1, 0, 0}});
  int predictor = 0;
  w.Block(zigzag, predictor, test::FlatDcTable(), test::LongAcTable());
  w.FlushBits();
  w.Eoi();
  return w.Bytes();
}

TEST(JpegDecoderBlocks, CoefficientsAreDequantisedAtTheirNaturalPositions) {
  // A horizontal cosine of frequency 1 (zig-zag 1 = natural 1) makes columns differ and rows
  // equal; a vertical one (zig-zag 2 = natural 8) the other way round.
  std::array<uint16_t, 64> quant = test::UnitQuant();
  quant[1] = 3;
  quant[2] = 5;
  for (int index : {1, 2}) {
    std::array<int, 64> zigzag{};
    zigzag[index] = 40;  // times 3 or 5
    const std::vector<uint8_t> bytes = OneBlock(zigzag, quant);
    JpegDecoder decoder(bytes);
    ASSERT_TRUE(decoder.ParseMarkers()) << decoder.FailureReason();
    const std::vector<uint8_t>& plane = decoder.Components()[0].plane;
    const bool horizontal = index == 1;
    for (int r = 0; r < 8; ++r) {
      for (int k = 0; k < 8; ++k) {
        const int same = horizontal ? plane[k] : plane[8 * r];
        EXPECT_EQ(plane[8 * r + k], same) << index;
      }
    }
    const int first = plane[0];
    const int last = horizontal ? plane[7] : plane[56];
    EXPECT_GT(first, last + 20) << index;  // cos(pi/16) at the start, cos(15 pi/16) at the end
  }
}

TEST(JpegDecoderBlocks, SixteenBitQuantisationAndTheLastCoefficient) {
  std::array<uint16_t, 64> quant = test::UnitQuant();
  quant[63] = 300;  // needs the 16-bit form
  std::array<int, 64> zigzag{};
  zigzag[63] = 2;  // no EOB after it: the block ends at index 63
  const std::vector<uint8_t> bytes = OneBlock(zigzag, quant, true);
  JpegDecoder decoder(bytes);
  ASSERT_TRUE(decoder.ParseMarkers()) << decoder.FailureReason();
  EXPECT_EQ(decoder.QuantTable(0)[63], 300);
  const std::vector<uint8_t>& plane = decoder.Components()[0].plane;
  // The highest frequency alternates in both directions.
  EXPECT_GT(plane[0], 128);
  EXPECT_LT(plane[1], 128);
  EXPECT_LT(plane[8], 128);
  EXPECT_GT(plane[9], 128);
}

TEST(JpegDecoderBlocks, DcPredictorWrapsAtSixteenBits) {
  // Differences of +2047 each way up: the predictor passes 32767 and wraps to negative values;
  // with quantisation 1 the block's DC is the wrapped predictor.
  DcPicture picture;
  picture.width = 8 * 20;
  picture.height = 8;
  picture.dc = [](int, int bx, int) { return 2047 * (bx + 1); };
  const std::vector<uint8_t> bytes = picture.Encode();
  JpegDecoder decoder(bytes);
  ASSERT_TRUE(decoder.ParseMarkers()) << decoder.FailureReason();
  // Block 16: 2047 * 17 = 34799 wraps to -30737 (then + 1024, pre-scaling in 16 bits...):
  // what matters is that it is not the saturated 32767, whose samples would all be 255.
  const std::vector<uint8_t>& plane = decoder.Components()[0].plane;
  const int16_t wrapped = static_cast<int16_t>(2047 * 17 + 1024);
  const int16_t shifted = static_cast<int16_t>(static_cast<uint16_t>(wrapped) << 3);
  const int16_t prescaled = static_cast<int16_t>((int32_t{shifted} * 16384) >> 16);
  EXPECT_EQ(plane[16 * 8], std::clamp((prescaled + 8) >> 4, 0, 255));
}

TEST(JpegDecoderRestarts, IntervalsThatDivideTheMcuCountOrNot) {
  for (int interval : {1, 3, 4, 6, 12, 13}) {
    SCOPED_TRACE(interval);
    DcPicture picture;
    picture.width = 48;  // 3 x 4 MCUs of 4:2:0: 12 MCUs
    picture.height = 64;
    picture.components = {{1, 2, 2, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}};
    picture.dc = Pattern;
    picture.restartInterval = interval;
    const std::vector<uint8_t> bytes = picture.Encode();
    JpegDecoder decoder(bytes);
    std::string message;
    decoder.SetRestartMessageHandler([&](const std::string& text) { message = text; });
    ASSERT_TRUE(decoder.ParseMarkers()) << decoder.FailureReason();
    EXPECT_EQ(decoder.RestartInterval(), interval);
    EXPECT_FALSE(decoder.HadRestartFault()) << message;
    ExpectPlanes(decoder, picture);
  }
}

TEST(JpegDecoderRestarts, MarkerNumbersOutOfSequenceAreAccepted) {
  DcPicture picture;
  picture.width = 64;
  picture.height = 16;
  picture.dc = Pattern;
  picture.restartInterval = 2;
  picture.restartNumber = [](int n) { return (7 - n * 3) & 7; };
  const std::vector<uint8_t> bytes = picture.Encode();
  JpegDecoder decoder(bytes);
  ASSERT_TRUE(decoder.ParseMarkers()) << decoder.FailureReason();
  EXPECT_FALSE(decoder.HadRestartFault());
  ExpectPlanes(decoder, picture);
}

TEST(JpegDecoderRestarts, WrongMarkerEndsTheScanWithTheMessage) {
  DcPicture picture;
  picture.width = 64;
  picture.height = 8;  // 8 MCUs, restart after every 3
  picture.dc = [](int, int bx, int) { return 100 + bx; };
  picture.restartInterval = 3;
  std::vector<uint8_t> bytes = picture.Encode();
  // Turn the first RST0 into 0xFFC8 (after 0xFF comes a marker code, never stuffing).
  std::size_t at = 0;
  for (std::size_t i = 2; i + 1 < bytes.size(); ++i) {
    if (bytes[i] == jpeg_marker::kPrefix && bytes[i + 1] == jpeg_marker::kRst0) {
      at = i + 1;
      break;
    }
  }
  ASSERT_NE(at, 0u);
  bytes[at] = jpeg_marker::kJpg;
  JpegDecoder decoder(bytes);
  std::vector<std::string> messages;
  decoder.SetRestartMessageHandler([&](const std::string& text) { messages.push_back(text); });
  EXPECT_TRUE(decoder.ParseMarkers()) << decoder.FailureReason();
  EXPECT_TRUE(decoder.HadRestartFault());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "Going Out value=FFC8 rs_int=3");
  // The first three MCUs are decoded; the rest is mid-grey, as a block without coefficients.
  const std::vector<uint8_t>& plane = decoder.Components()[0].plane;
  EXPECT_EQ(plane[2 * 8], DcOnlySample(102));
  EXPECT_EQ(plane[3 * 8], 128);
}

// Whatever follows a wrong restart marker is not read: not the next picture of a media blob,
// not a segment that the marker loop would refuse, not scan data that looks like a marker.
TEST(JpegDecoderRestarts, NothingAfterAWrongMarkerIsRead) {
  DcPicture picture;
  picture.width = 64;
  picture.height = 8;
  picture.dc = [](int, int bx, int) { return 100 + bx; };
  picture.restartInterval = 3;
  const std::vector<uint8_t> whole = picture.Encode();
  std::size_t cut = 2;  // where RST0 is
  while (whole[cut] != jpeg_marker::kPrefix || whole[cut + 1] != jpeg_marker::kRst0) ++cut;
  JpegStreamWriter scan;
  scan.Sos({{1, 0, 0}});
  // The next picture's SOI is read in place of RST0; the others follow two data bytes there.
  const std::vector<std::vector<uint8_t>> trailers = {
      whole,                                        // SOI, tables, a second frame
      scan.Bytes(),                                 // a second scan
      {0xFF, jpeg_marker::kDht, 0x00, 0x13, 0x25},  // a DHT of class 2
      {0xFF, jpeg_marker::kCom, 0x00, 0x01},        // a length below 2
      {0xFF, 0x00, 0x01, 0x00, 0x01},               // data: a stuffed 0xFF, a code, a length
  };
  for (const std::vector<uint8_t>& trailer : trailers) {
    std::vector<uint8_t> bytes(whole.begin(), whole.begin() + static_cast<long>(cut));
    if (&trailer != &trailers[0]) bytes.insert(bytes.end(), {0x12, 0x34});
    bytes.insert(bytes.end(), trailer.begin(), trailer.end());
    JpegDecoder decoder(bytes);
    ASSERT_TRUE(decoder.ParseMarkers()) << decoder.FailureReason();
    EXPECT_TRUE(decoder.HadRestartFault());
    const std::vector<uint8_t>& plane = decoder.Components()[0].plane;
    EXPECT_EQ(plane[2 * 8], DcOnlySample(102));
    EXPECT_EQ(plane[3 * 8], 128);
  }
}

TEST(JpegDecoderStream, SegmentsTheDecoderSkipsOrReadsInOnePiece) {
  // APP0 and COM before the tables, four Huffman tables in one DHT, two quantisation tables
  // (one 16-bit) in one DQT, a DRI segment with two excess bytes.
  JpegStreamWriter w;
  w.Soi();
  w.Segment(jpeg_marker::kApp0, {'J', 'F', 'I', 'F', 0, 1, 2, 0, 0, 1, 0, 1, 0, 0});
  w.Segment(jpeg_marker::kCom, std::vector<uint8_t>(300, 0xFF));
  std::vector<uint8_t> dqt = {0x00};
  for (int i = 0; i < 64; ++i) dqt.push_back(1);
  dqt.push_back(0x11);
  for (int i = 0; i < 64; ++i) dqt.insert(dqt.end(), {0x00, 2});
  w.Segment(jpeg_marker::kDqt, dqt);
  std::vector<uint8_t> dht;
  const test::HuffmanTable tables[4] = {test::FlatDcTable(), test::LongDcTable(),
                                        test::FlatAcTable(), test::LongAcTable()};
  const int classes[4][2] = {{0, 0}, {0, 1}, {1, 0}, {1, 1}};
  for (int t = 0; t < 4; ++t) {
    dht.push_back(static_cast<uint8_t>(classes[t][0] << 4 | classes[t][1]));
    dht.insert(dht.end(), tables[t].counts.begin(), tables[t].counts.end());
    dht.insert(dht.end(), tables[t].symbols.begin(), tables[t].symbols.end());
  }
  w.Segment(jpeg_marker::kDht, dht);
  w.Segment(jpeg_marker::kDri, {0, 1, 0xAB, 0xCD});
  w.Sof0(16, 8, {{1, 1, 1, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}});
  w.Sos({{1, 0, 0}, {2, 1, 1}, {3, 1, 1}});
  int predictors[3] = {0, 0, 0};
  for (int mcu = 0; mcu < 2; ++mcu) {
    w.DcBlock(80, predictors[0], tables[0], tables[2]);
    w.DcBlock(-40, predictors[1], tables[1], tables[3]);  // times 2
    w.DcBlock(16, predictors[2], tables[1], tables[3]);
    if (mcu == 0) {
      w.FlushBits();
      w.Marker(jpeg_marker::kRst0);
      predictors[0] = predictors[1] = predictors[2] = 0;
    }
  }
  w.FlushBits();
  w.Eoi();
  JpegDecoder decoder(w.Bytes());
  ASSERT_TRUE(decoder.ParseMarkers()) << decoder.FailureReason();
  EXPECT_EQ(decoder.RestartInterval(), 1);
  EXPECT_EQ(decoder.QuantTable(1)[5], 2);
  EXPECT_GT(decoder.AcLookup(1).SecondLevelCount(), 1u);
  for (int x : {0, 15}) {
    EXPECT_EQ(decoder.Components()[0].plane[x], DcOnlySample(80));
    EXPECT_EQ(decoder.Components()[1].plane[x], DcOnlySample(-80));
    EXPECT_EQ(decoder.Components()[2].plane[x], DcOnlySample(32));
  }
}

TEST(JpegDecoderStream, RepeatedTableDefinitionReplacesTheEarlierOne) {
  DcPicture picture;
  picture.dc = Pattern;
  std::vector<uint8_t> bytes = picture.Encode();
  // Insert, after SOI, tables that the stream then overrides with its own.
  JpegStreamWriter w;
  w.Dht(0, 0, test::LongDcTable());
  w.Dht(1, 0, test::LongAcTable());
  bytes.insert(bytes.begin() + 2, w.Bytes().begin(), w.Bytes().end());
  JpegDecoder decoder(bytes);
  ASSERT_TRUE(decoder.ParseMarkers()) << decoder.FailureReason();
  EXPECT_EQ(decoder.AcLookup(0).SecondLevelCount(), 0u);
  ExpectPlanes(decoder, picture);
}

TEST(JpegDecoderStream, StreamThatEndsEarlyDecodesTheRestFromZeroBits) {
  DcPicture picture;
  picture.width = 256;
  picture.height = 64;
  picture.dc = [](int, int, int) { return 300; };
  std::vector<uint8_t> bytes = picture.Encode();
  bytes.resize(bytes.size() - 40);
  JpegDecoder decoder(bytes);
  ASSERT_TRUE(decoder.ParseMarkers()) << decoder.FailureReason();
  const std::vector<uint8_t>& plane = decoder.Components()[0].plane;
  EXPECT_EQ(plane[0], DcOnlySample(300));
  // Zero bits are the 4-bit code of DC size 0 and the 8-bit code of EOB: the last blocks
  // repeat the predictor.
  EXPECT_EQ(plane.back(), DcOnlySample(300));
}

TEST(JpegDecoderStream, FileAtAnOffsetWithAnyChunkSizeMatchesTheBytes) {
  DcPicture picture;
  picture.width = 120;
  picture.height = 40;
  picture.components = {{1, 2, 2, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}};
  picture.dc = Pattern;
  picture.restartInterval = 2;
  const std::vector<uint8_t> jpeg = picture.Encode();
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  const std::vector<uint8_t> before(1000, 0xFF);
  std::fwrite(before.data(), 1, before.size(), file);
  std::fwrite(jpeg.data(), 1, jpeg.size(), file);
  for (std::size_t chunk :
       {std::size_t{1}, std::size_t{2}, std::size_t{7}, std::size_t{64}, std::size_t{65536}}) {
    SCOPED_TRACE(chunk);
    std::fseek(file, static_cast<long>(before.size()), SEEK_SET);
    JpegDecoder decoder(file, chunk);
    ASSERT_TRUE(decoder.ParseMarkers()) << decoder.FailureReason();
    ExpectPlanes(decoder, picture);
  }
  std::fclose(file);
}

}  // namespace
}  // namespace lumafolio
