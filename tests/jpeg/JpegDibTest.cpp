// The bitmap-file image built from the planes: header values, row order and padding, chroma
// sharing, grey pictures, and the integer colour conversion against the double formulas.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "DcPicture.h"
#include "core/jpeg/JpegDib.h"
#include "core/jpeg/JpegMarkers.h"

namespace lumafolio {
namespace {

using test::DcOnlySample;
using test::DcPicture;

uint32_t Le32(const std::vector<uint8_t>& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}
uint32_t Le16(const std::vector<uint8_t>& b, std::size_t at) { return b[at] | b[at + 1] << 8; }

std::vector<uint8_t> Dib(const DcPicture& picture) {
  std::vector<uint8_t> dib;
  std::string reason;
  EXPECT_TRUE(DecodeJpegToDib(picture.Encode(), dib, &reason)) << reason;
  return dib;
}

TEST(JpegDib, HeadersOfA640By480Picture) {
  DcPicture picture;
  picture.width = 640;
  picture.height = 480;
  picture.components = {{1, 1, 1, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}};
  const std::vector<uint8_t> dib = Dib(picture);
  ASSERT_EQ(dib.size(), 922678u);
  EXPECT_EQ(Le16(dib, 0), 0x4D42u);
  EXPECT_EQ(Le32(dib, 2), 922678u);
  EXPECT_EQ(Le32(dib, 6), 0u);
  EXPECT_EQ(Le32(dib, 10), 54u);
  EXPECT_EQ(Le32(dib, 14), 40u);
  EXPECT_EQ(Le32(dib, 18), 640u);
  EXPECT_EQ(Le32(dib, 22), 480u);
  EXPECT_EQ(Le16(dib, 26), 1u);
  EXPECT_EQ(Le16(dib, 28), 24u);
  EXPECT_EQ(Le32(dib, 30), 0u);
  EXPECT_EQ(Le32(dib, 34), 922624u);
  for (std::size_t at = 38; at < 54; ++at) EXPECT_EQ(dib[at], 0) << at;
  const DibLayout layout = DibLayoutFor(640, 480);
  EXPECT_EQ(layout.rowSize, 1920u);
  EXPECT_EQ(layout.totalSize, 922678u);
}

TEST(JpegDib, OddWidthRoundsUpToEightAndShowsThePaddingSamples) {
  DcPicture picture;
  picture.width = 801;
  picture.height = 3;
  picture.dc = [](int, int bx, int) { return bx == 100 ? 400 : 0; };  // the last MCU column
  const std::vector<uint8_t> dib = Dib(picture);
  EXPECT_EQ(Le32(dib, 18), 808u);
  EXPECT_EQ(Le32(dib, 22), 3u);
  EXPECT_EQ(dib.size(), 808u * 3 * 3 + 1078);
  // Columns 800 to 807 of the bottom row (the last stored row of the DIB comes first).
  for (int column = 800; column < 808; ++column) {
    EXPECT_EQ(dib[54 + 3 * column], DcOnlySample(400)) << column;
  }
  EXPECT_EQ(dib[54 + 3 * 799], DcOnlySample(0));
}

TEST(JpegDib, RowsAreStoredBottomUpAndTheSpareBytesAreZero) {
  DcPicture picture;
  picture.width = 8;
  picture.height = 20;  // rows 16 to 19 are in the third block row
  picture.dc = [](int, int, int by) { return 80 * by; };
  std::vector<uint8_t> dib(DibLayoutFor(8, 20).totalSize, 0xCD);
  const std::vector<uint8_t> bytes = picture.Encode();
  JpegDecoder decoder(bytes);
  ASSERT_TRUE(decoder.ParseMarkers());
  ASSERT_TRUE(ConvertToDib(decoder, dib));
  const std::size_t row = 24;
  EXPECT_EQ(dib[54], DcOnlySample(160));           // DIB row 0: picture row 19
  EXPECT_EQ(dib[54 + 4 * row], DcOnlySample(80));  // DIB row 4: picture row 15
  EXPECT_EQ(dib[54 + 19 * row], DcOnlySample(0));  // picture row 0
  for (std::size_t at = 54 + 20 * row; at < dib.size(); ++at) ASSERT_EQ(dib[at], 0) << at;
  std::vector<uint8_t> small(dib.size() - 1);
  EXPECT_FALSE(ConvertToDib(decoder, small));
}

// Every pixel of the DIB against the double formulas applied to the decoded planes, for each
// chroma layout; one chroma block sits on a (Cb, Cr) pair where the formulas' doubles decide
// the rounding (78, 178), so the fast path must hand those pixels over.
// Chroma factors other than 1x1 reduce to the chroma ratios of luma over chroma.
TEST(JpegDib, EveryPixelMatchesTheFormulasForEveryLayout) {
  struct Layout {
    int h, v, chromaH = 1, chromaV = 1;
  };
  for (const Layout layout : {Layout{1, 1}, Layout{2, 1}, Layout{2, 2}, Layout{1, 2}, Layout{4, 1},
                              Layout{2, 2, 2, 2}, Layout{4, 2, 2, 1}, Layout{2, 4, 2, 1}}) {
    SCOPED_TRACE(std::to_string(layout.h) + "x" + std::to_string(layout.v) + " over " +
                 std::to_string(layout.chromaH) + "x" + std::to_string(layout.chromaV));
    const int ratioH = layout.h / layout.chromaH;
    const int ratioV = layout.v / layout.chromaV;
    DcPicture picture;
    picture.width = 97;
    picture.height = 41;
    picture.components = {{1, layout.h, layout.v, 0},
                          {2, layout.chromaH, layout.chromaV, 0},
                          {3, layout.chromaH, layout.chromaV, 0}};
    picture.dc = [=](int c, int bx, int by) {
      if (c > 0 && bx == 1 && by == 1) return c == 1 ? -400 : 396;      // Cb 78, Cr 178 ...
      if (c == 0 && bx / ratioH == 1 && by / ratioV == 1) return -624;  // ... with Y 50
      return (bx * 97 + by * 61 + c * 41) % 1600 - 800;
    };
    const std::vector<uint8_t> bytes = picture.Encode();
    JpegDecoder decoder(bytes);
    ASSERT_TRUE(decoder.ParseMarkers()) << decoder.FailureReason();
    const std::vector<JpegComponent>& planes = decoder.Components();
    ASSERT_EQ(planes[1].plane[8 * planes[1].stride + 8], 78);
    ASSERT_EQ(planes[2].plane[8 * planes[2].stride + 8], 178);
    const DibLayout dibLayout = DibLayoutFor(97, 41);
    std::vector<uint8_t> dib(dibLayout.totalSize);
    ASSERT_TRUE(ConvertToDib(decoder, dib));
    for (int y = 0; y < 41; ++y) {
      for (int x = 0; x < 104; ++x) {
        const std::size_t chroma = std::size_t(y / ratioV) * planes[1].stride + x / ratioH;
        uint8_t expected[3];
        YccToBgrDouble(planes[0].plane[y * planes[0].stride + x], planes[1].plane[chroma],
                       planes[2].plane[chroma], expected);
        const uint8_t* pixel = &dib[54 + (40 - y) * dibLayout.rowSize + 3 * x];
        ASSERT_EQ(std::memcmp(pixel, expected, 3), 0) << x << "," << y;
      }
    }
  }
}

TEST(JpegDib, GreyPictureShowsGrey) {
  DcPicture picture;
  picture.width = 16;
  picture.height = 8;
  picture.dc = [](int, int bx, int) { return bx ? -300 : 500; };
  const std::vector<uint8_t> dib = Dib(picture);
  for (int x = 0; x < 16; ++x) {
    const int y = DcOnlySample(x < 8 ? 500 : -300);
    for (int channel = 0; channel < 3; ++channel) ASSERT_EQ(dib[54 + 3 * x + channel], y);
  }
}

TEST(JpegDib, ChromaLayoutsThatReduceToNoRatioAreRefused) {
  DcPicture picture;
  picture.components = {{1, 2, 2, 0}, {2, 2, 1, 0}, {3, 1, 1, 0}};
  std::vector<uint8_t> dib;
  std::string reason;
  EXPECT_FALSE(DecodeJpegToDib(picture.Encode(), dib, &reason));
  EXPECT_EQ(reason, "Cb and Cr sampled differently");
  picture.components = {{1, 2, 1, 0}, {2, 1, 2, 0}, {3, 1, 2, 0}};
  EXPECT_FALSE(DecodeJpegToDib(picture.Encode(), dib, &reason));
  EXPECT_EQ(reason, "chroma sampled more finely than luma");
  EXPECT_FALSE(DecodeJpegToDib(std::vector<uint8_t>{0xFF, 0xD8}, dib, &reason));
  EXPECT_EQ(reason, "no baseline (SOF0) frame");
}

// A picture whose first restart marker is `code` instead of RST0; the pattern differs in every
// block so that a misplaced or missing row shows.
std::vector<uint8_t> WithFirstRestartMarker(const DcPicture& picture, uint8_t code) {
  std::vector<uint8_t> bytes = picture.Encode();
  for (std::size_t i = 2; i + 1 < bytes.size(); ++i) {
    if (bytes[i] == jpeg_marker::kPrefix && bytes[i + 1] == jpeg_marker::kRst0) {
      bytes[i + 1] = code;
      break;
    }
  }
  return bytes;
}

// The bitmap made while decoding (an MCU row at a time) against the one made from whole planes,
// for every layout, whole scans and scans that a wrong restart marker ends in the middle of an
// MCU row, at the end of one, or never.
TEST(JpegDib, DecodingStraightIntoTheBitmapEqualsConvertingWholePlanes) {
  struct Layout {
    int h, v;
    bool grey;
    int chroma = 1;  // the chroma factors, across and down
  };
  for (const Layout layout :
       {Layout{1, 1, false}, Layout{2, 1, false}, Layout{2, 2, false}, Layout{1, 2, false},
        Layout{4, 1, false}, Layout{1, 1, true}, Layout{2, 2, false, 2}, Layout{4, 2, false, 2}}) {
    for (const int interval : {0, 5, 13}) {
      SCOPED_TRACE(std::to_string(layout.h) + "x" + std::to_string(layout.v) +
                   (layout.grey ? " grey" : "") + " chroma " + std::to_string(layout.chroma) +
                   " interval " + std::to_string(interval));
      DcPicture picture;
      picture.width = 97;  // 13 MCU columns at 1x1: interval 13 faults at the end of a row
      picture.height = 83;
      picture.components = {{1, layout.h, layout.v, 0},
                            {2, layout.chroma, layout.chroma, 0},
                            {3, layout.chroma, layout.chroma, 0}};
      if (layout.grey) picture.components.resize(1);
      picture.dc = [](int c, int bx, int by) { return (bx * 97 + by * 61 + c * 41) % 1600 - 800; };
      picture.restartInterval = interval;
      const std::vector<uint8_t> bytes = WithFirstRestartMarker(picture, jpeg_marker::kJpg);

      JpegDecoder whole(bytes);
      ASSERT_TRUE(whole.ParseMarkers()) << whole.FailureReason();
      EXPECT_EQ(whole.HadRestartFault(), interval != 0);
      std::vector<uint8_t> expected(DibLayoutFor(97, 83).totalSize);
      ASSERT_TRUE(ConvertToDib(whole, expected));

      std::vector<uint8_t> dib;
      std::string reason;
      ASSERT_TRUE(DecodeJpegToDib(bytes, dib, &reason)) << reason;
      ASSERT_EQ(dib.size(), expected.size());
      for (std::size_t at = 0; at < dib.size(); ++at) ASSERT_EQ(dib[at], expected[at]) << at;
    }
  }
}

TEST(JpegDib, NoBlockForTheBitmapEndsTheDecodeAtTheFrameHeader) {
  DcPicture picture;
  picture.width = 33;
  picture.height = 17;
  const std::vector<uint8_t> bytes = picture.Encode();
  JpegDecoder decoder(bytes);
  std::vector<uint32_t> asked;
  std::string reason;
  const auto noBlock = [&asked](uint32_t size) -> uint8_t* {
    asked.push_back(size);
    return nullptr;
  };
  EXPECT_FALSE(DecodeToDib(decoder, noBlock, &reason));
  EXPECT_EQ(reason, "not enough memory for the picture");
  EXPECT_EQ(asked, std::vector<uint32_t>{DibLayoutFor(33, 17).totalSize});
  EXPECT_TRUE(decoder.Components().empty());  // nothing decoded into planes instead
}

// What a row sink sees: every MCU row once and in order, in planes one MCU row high, holding
// the samples the whole planes hold; after a restart fault, mid-grey like the whole planes.
class RecordingSink : public JpegRowSink {
 public:
  Take Start(const JpegDecoder&) override { return Take::kRows; }
  void Row(const JpegDecoder& decoder, int row) override {
    rows.push_back(row);
    for (std::size_t c = 0; c < decoder.Components().size(); ++c) {
      const JpegComponent& component = decoder.Components()[c];
      EXPECT_EQ(component.plane.size(), component.stride * 8 * component.v);
      planes.resize(decoder.Components().size());
      planes[c].insert(planes[c].end(), component.plane.begin(), component.plane.end());
    }
  }
  std::vector<int> rows;
  std::vector<std::vector<uint8_t>> planes;  // the rows seen, one after the other
};

TEST(JpegDib, RowSinkSeesEveryMcuRowOnceAsTheWholePlanesHoldIt) {
  DcPicture picture;
  picture.width = 50;
  picture.height = 70;  // 4 x 5 MCUs of 16 x 16
  picture.components = {{1, 2, 2, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}};
  picture.dc = [](int c, int bx, int by) { return (bx * 37 + by * 101 + c * 53) % 400 - 200; };
  picture.restartInterval = 7;  // the first marker is wrong: the scan ends inside MCU row 1
  const std::vector<uint8_t> bytes = WithFirstRestartMarker(picture, 0x00);

  JpegDecoder whole(bytes);
  ASSERT_TRUE(whole.ParseMarkers()) << whole.FailureReason();
  ASSERT_TRUE(whole.HadRestartFault());

  RecordingSink sink;
  JpegDecoder streaming(bytes);
  streaming.SetRowSink(&sink);
  ASSERT_TRUE(streaming.ParseMarkers()) << streaming.FailureReason();
  EXPECT_TRUE(streaming.Streaming());
  EXPECT_TRUE(streaming.HadRestartFault());
  std::vector<int> expectedRows(static_cast<std::size_t>(whole.McuRows()));
  for (std::size_t i = 0; i < expectedRows.size(); ++i) expectedRows[i] = static_cast<int>(i);
  EXPECT_EQ(sink.rows, expectedRows);
  ASSERT_EQ(sink.planes.size(), 3u);
  for (std::size_t c = 0; c < 3; ++c) EXPECT_EQ(sink.planes[c], whole.Components()[c].plane) << c;
}

TEST(JpegDibColour, RowConversionEqualsTheDoubleFormulasOnAllTriples) {
  // Rows of all 65536 (Cb, Cr) pairs with Cb changing from pixel to pixel; over the 256 rows
  // every pixel position takes every Y, and Y also changes from pixel to pixel.
  constexpr std::size_t kCount = 65536;
  std::vector<uint8_t> y(kCount), cb(kCount), cr(kCount), bgr(3 * kCount);
  for (std::size_t x = 0; x < kCount; ++x) {
    cb[x] = static_cast<uint8_t>(x);
    cr[x] = static_cast<uint8_t>(x >> 8);
  }
  int mismatches = 0;
  for (int row = 0; row < 256; ++row) {
    for (std::size_t x = 0; x < kCount; ++x) y[x] = static_cast<uint8_t>(x * 7 + row);
    YccRowToBgr(y, cb, cr, bgr);
    for (std::size_t x = 0; x < kCount; ++x) {
      uint8_t exact[3];
      YccToBgrDouble(y[x], cb[x], cr[x], exact);
      if (std::memcmp(&bgr[3 * x], exact, 3) != 0 && ++mismatches < 5) {
        ADD_FAILURE() << "Y " << int(y[x]) << " Cb " << int(cb[x]) << " Cr " << int(cr[x]);
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
}

TEST(JpegDibColour, IntegerFormEqualsTheDoubleFormulasOnAllTriples) {
  uint8_t ours[3];
  uint8_t exact[3];
  int mismatches = 0;
  for (int cb = 0; cb < 256; ++cb) {
    for (int cr = 0; cr < 256; ++cr) {
      for (int y = 0; y < 256; ++y) {
        YccToBgr(y, cb, cr, ours);
        YccToBgrDouble(y, cb, cr, exact);
        if (std::memcmp(ours, exact, 3) != 0 && ++mismatches < 5) {
          ADD_FAILURE() << "Y " << y << " Cb " << cb << " Cr " << cr;
        }
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace lumafolio
