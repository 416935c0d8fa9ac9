// Our decoder against libjpeg-turbo's accurate decode (islow integer IDCT, box upsampling) of
// pictures compressed by libjpeg-turbo: synthetic gradients, noise, sharp edges and text,
// sizes from 8x8 up, odd sizes, all three subsamplings and grey, with and without restart
// intervals, standard and optimised Huffman tables, quality 50 to 100.
//
// The bounds, for every picture:
// - each decoded component plane within kMaxPlaneDifference of libjpeg's: our inverse DCT is
//   16-bit fixed point, up to 3 levels off the exact transform in single samples of dense
//   blocks, and libjpeg's islow up to 1 the other way;
// - each BGR sample within kMaxDifference: B = Y + 1.772 (Cb - 128) + 0.5 scales the chroma
//   error, so the plane errors come out up to 2.8 times larger (seen: 8);
// - PSNR of at least kMinPsnr (grey kMinGreyPsnr) over the BGR samples: dense high-frequency
//   pictures at quality 90 to 100 come lowest (seen: 41.5 dB on an 8x8 picture of edges at
//   4:2:0, whose planes are within 2).
// A misplaced block, a wrong table entry or a broken restart would be off by far more.
//
// Then the pictures the decoder once refused, within the same bound: chroma sampled at other
// than 1x1 in layouts that reduce to a chroma ratio, a ZRL that carries the coefficient index
// past 63 before the end-of-block, and a scan that a wrong restart marker ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "JpegStreamWriter.h"
#include "ReferenceCodec.h"
#include "core/jpeg/JpegDib.h"
#include "core/jpeg/JpegMarkers.h"

namespace lumafolio {
namespace {

using test::CorpusPicture;
using test::Pattern;

constexpr int kMaxPlaneDifference = 4;
constexpr int kMaxDifference = 10;
constexpr double kMinPsnr = 41.0;
constexpr double kMinGreyPsnr = 47.0;

struct Worst {
  int maxDifference = 0;
  double minPsnr = 1e9;
  std::string maxName, psnrName;
};

void CheckPicture(const CorpusPicture& picture, Worst& worst) {
  SCOPED_TRACE(picture.Name());
  const std::vector<uint8_t> jpeg = test::CompressPicture(picture);
  std::vector<uint8_t> dib;
  std::string reason;
  JpegDecoder decoder(jpeg);
  ASSERT_TRUE(decoder.ParseMarkers()) << decoder.FailureReason();
  test::ReferencePlanes planes;
  ASSERT_TRUE(test::DecodePlanesWithTurbo(jpeg, planes));
  ASSERT_EQ(planes.planes.size(), decoder.Components().size());
  int planeDifference = 0;
  for (std::size_t c = 0; c < planes.planes.size(); ++c) {
    const JpegComponent& ours = decoder.Components()[c];
    for (int y = 0; y < planes.heights[c]; ++y) {
      for (int x = 0; x < planes.widths[c]; ++x) {
        const int difference = std::abs(ours.plane[y * ours.stride + x] -
                                        planes.planes[c][std::size_t(y) * planes.widths[c] + x]);
        planeDifference = std::max(planeDifference, difference);
      }
    }
  }
  EXPECT_LE(planeDifference, kMaxPlaneDifference);
  ASSERT_TRUE(DecodeJpegToDib(jpeg, dib, &reason)) << reason;
  test::ReferenceImage reference;
  ASSERT_TRUE(test::DecodeWithTurbo(jpeg, true, reference));
  const test::Comparison c = test::CompareWithDib(reference, dib);
  if (c.maxDifference > worst.maxDifference) {
    worst.maxDifference = c.maxDifference;
    worst.maxName = picture.Name();
  }
  if (c.psnr < worst.minPsnr) {
    worst.minPsnr = c.psnr;
    worst.psnrName = picture.Name();
  }
  if (std::getenv("LUMAFOLIO_CONFORMANCE_VERBOSE")) {
    std::printf("%-40s planes %d max %2d psnr %6.2f off %lld\n", picture.Name().c_str(),
                planeDifference, c.maxDifference, c.psnr, c.samplesOff);
  }
  EXPECT_LE(c.maxDifference, kMaxDifference);
  EXPECT_GE(c.psnr, picture.components == 1 ? kMinGreyPsnr : kMinPsnr);
}

void Report(const Worst& worst) {
  std::printf("worst max difference %d (%s), min PSNR %.2f dB (%s)\n", worst.maxDifference,
              worst.maxName.c_str(), worst.minPsnr, worst.psnrName.c_str());
}

const Pattern kPatterns[] = {Pattern::kGradient, Pattern::kNoise, Pattern::kEdges, Pattern::kText,
                             Pattern::kPhotoLike};

// The default corpus: small pictures, every feature, a few seconds in the sanitizer build.
std::vector<CorpusPicture> SmallCorpus() {
  std::vector<CorpusPicture> corpus;
  const int sizes[][2] = {{8, 8}, {1, 1}, {17, 9}, {33, 47}, {64, 64}, {121, 77}, {160, 120}};
  const int sampling[][3] = {{1, 1, 0}, {2, 1, 0}, {2, 2, 0}, {1, 1, 1}};  // H, V, grey
  const int qualities[] = {50, 75, 90, 98, 100};
  unsigned seed = 1;
  for (const auto& size : sizes) {
    for (const auto& s : sampling) {
      for (Pattern pattern : kPatterns) {
        CorpusPicture p;
        p.width = size[0];
        p.height = size[1];
        p.lumaH = s[0];
        p.lumaV = s[1];
        p.components = s[2] != 0 ? 1 : 3;
        p.pattern = pattern;
        p.seed = seed;
        p.quality = qualities[seed % 5];
        p.restartInterval = seed % 3 == 0 ? 0 : seed % 3 == 1 ? 1 : 5;
        p.optimizeCoding = seed % 2 == 0;
        ++seed;
        corpus.push_back(p);
      }
    }
  }
  return corpus;
}

TEST(JpegConformance, SmallCorpusStaysWithinTheBound) {
  Worst worst;
  for (const CorpusPicture& picture : SmallCorpus()) CheckPicture(picture, worst);
  Report(worst);
}

// The large corpus (640x480 to 4000x3000): LUMAFOLIO_LARGE_CORPUS=1 to run it.
TEST(JpegConformanceLarge, LargePicturesStayWithinTheBound) {
  if (!std::getenv("LUMAFOLIO_LARGE_CORPUS")) GTEST_SKIP() << "set LUMAFOLIO_LARGE_CORPUS=1";
  Worst worst;
  const int sizes[][2] = {{640, 480}, {801, 600}, {1920, 1080}, {4000, 3000}, {2999, 1999}};
  unsigned seed = 100;
  for (const auto& size : sizes) {
    for (const auto& s : {std::pair{1, 1}, std::pair{2, 1}, std::pair{2, 2}}) {
      CorpusPicture p;
      p.width = size[0];
      p.height = size[1];
      p.lumaH = s.first;
      p.lumaV = s.second;
      p.pattern = kPatterns[seed % 5];
      p.quality = 50 + static_cast<int>(seed * 7 % 51);
      p.restartInterval = seed % 2 ? 0 : 64;
      p.optimizeCoding = seed % 3 == 0;
      p.seed = seed++;
      CheckPicture(p, worst);
    }
  }
  Report(worst);
}

using test::Coefficients;

void ExpectWithinTheBound(const test::ReferenceImage& reference, const std::vector<uint8_t>& jpeg,
                          bool grey) {
  std::vector<uint8_t> dib;
  std::string reason;
  ASSERT_TRUE(DecodeJpegToDib(jpeg, dib, &reason)) << reason;
  const test::Comparison c = test::CompareWithDib(reference, dib);
  if (std::getenv("LUMAFOLIO_CONFORMANCE_VERBOSE")) {
    std::printf("max %2d psnr %6.2f off %lld\n", c.maxDifference, c.psnr, c.samplesOff);
  }
  EXPECT_LE(c.maxDifference, kMaxDifference);
  EXPECT_GE(c.psnr, grey ? kMinGreyPsnr : kMinPsnr);
}

test::ReferenceImage Libjpeg(const std::vector<uint8_t>& jpeg) {
  test::ReferenceImage image;
  EXPECT_TRUE(test::DecodeWithLibjpeg(jpeg, image));
  return image;
}

Coefficients CoefficientsOf(const CorpusPicture& picture) {
  Coefficients coefficients;
  EXPECT_TRUE(test::ReadCoefficients(test::CompressPicture(picture), coefficients));
  return coefficients;
}

// The coefficients written again with each component's factors as they now are, flat Huffman
// tables, a restart after every `interval` MCUs and, if asked, a ZRL before every EOB. Blocks
// of the MCU grid beyond the picture's own (never on screen) are zero.
std::vector<uint8_t> Rewritten(const Coefficients& picture, int interval, bool zeroRunBeforeEob) {
  const test::HuffmanTable dc = test::FlatDcTable(), ac = test::FlatAcTable();
  test::JpegStreamWriter w;
  w.Soi();
  w.Dht(0, 0, dc);
  w.Dht(1, 0, ac);
  std::vector<test::JpegStreamWriter::FrameComponent> frame;
  std::vector<test::JpegStreamWriter::ScanComponent> scan;
  int hMax = 1, vMax = 1;
  for (int c = 0; c < static_cast<int>(picture.components.size()); ++c) {
    const Coefficients::Component& component = picture.components[c];
    w.Dqt(c, component.quant);
    frame.push_back({c + 1, component.h, component.v, c});
    scan.push_back({c + 1, 0, 0});
    hMax = std::max(hMax, component.h);
    vMax = std::max(vMax, component.v);
  }
  w.Sof0(picture.width, picture.height, frame);
  if (interval) w.Dri(interval);
  w.Sos(scan);
  const int columns = (picture.width + 8 * hMax - 1) / (8 * hMax);
  const int mcus = columns * ((picture.height + 8 * vMax - 1) / (8 * vMax));
  std::vector<int> predictors(frame.size(), 0);
  for (int mcu = 0; mcu < mcus; ++mcu) {
    for (std::size_t c = 0; c < frame.size(); ++c) {
      const Coefficients::Component& from = picture.components[c];
      for (int y = mcu / columns * from.v; y < (mcu / columns + 1) * from.v; ++y) {
        for (int x = mcu % columns * from.h; x < (mcu % columns + 1) * from.h; ++x) {
          const bool inside = x < from.widthInBlocks && y < from.heightInBlocks;
          w.Block(
              inside ? from.blocks[std::size_t(y) * from.widthInBlocks + x] : std::array<int, 64>{},
              predictors[c], dc, ac, zeroRunBeforeEob);
        }
      }
    }
    if (interval && (mcu + 1) % interval == 0 && mcu + 1 < mcus) {
      w.FlushBits();
      w.Marker(jpeg_marker::kRst0 + (mcu / interval) % 8);
      std::fill(predictors.begin(), predictors.end(), 0);
    }
  }
  w.FlushBits();
  w.Eoi();
  return w.Bytes();
}

CorpusPicture Picture(int lumaH, int lumaV, int chromaH, int chromaV, test::Pattern pattern) {
  CorpusPicture p;
  p.width = 121;
  p.height = 77;
  p.lumaH = lumaH;
  p.lumaV = lumaV;
  p.chromaH = chromaH;
  p.chromaV = chromaV;
  p.pattern = pattern;
  return p;
}

TEST(JpegConformance, ChromaLayoutsThatReduceToAChromaRatio) {
  // As libjpeg writes them (at most 10 blocks to an MCU).
  const int layouts[][4] = {{2, 1, 2, 1}, {1, 2, 1, 2}, {4, 1, 2, 1},
                            {2, 2, 1, 2}, {2, 2, 2, 1}, {1, 4, 1, 2}};
  for (const auto& l : layouts) {
    const CorpusPicture p = Picture(l[0], l[1], l[2], l[3], test::Pattern::kPhotoLike);
    SCOPED_TRACE(p.Name());
    const std::vector<uint8_t> jpeg = test::CompressPicture(p);
    ExpectWithinTheBound(Libjpeg(jpeg), jpeg, false);
  }
  // Beyond libjpeg's MCU, written from the coefficients of libjpeg's 4:4:4, 4:2:0 and 4:2:2
  // pictures, against libjpeg-turbo's decode of those: all three at 2x2, luma 4x4 over chroma
  // 2x2, luma 4x2 over chroma 2x2.
  for (const auto& l : {std::array{1, 1, 2, 2}, std::array{2, 2, 4, 4}, std::array{2, 1, 4, 2}}) {
    const CorpusPicture p = Picture(l[0], l[1], 1, 1, test::Pattern::kEdges);
    SCOPED_TRACE(p.Name());
    Coefficients rewrite = CoefficientsOf(p);
    rewrite.components[0].h = l[2];
    rewrite.components[0].v = l[3];
    for (int c : {1, 2}) rewrite.components[c].h = rewrite.components[c].v = 2;
    ExpectWithinTheBound(Libjpeg(test::CompressPicture(p)), Rewritten(rewrite, 0, false), false);
  }
}

// Every block gets a ZRL before its EOB, which carries the index past 63 wherever the last
// coefficient lies at 48 or beyond. libjpeg-turbo ends such a block at 63 and leaves the EOB
// to be read as the next block's DC code, so it reads the stream as written only where a
// restart marker follows every block: a grey picture with a restart after each MCU. A colour
// picture without restarts is held against libjpeg-turbo's decode of libjpeg's own coding of
// the same coefficients.
TEST(JpegConformance, ZeroRunsPast63BeforeTheEndOfBlock) {
  for (const bool grey : {true, false}) {
    CorpusPicture p = Picture(grey ? 1 : 2, grey ? 1 : 2, 1, 1, test::Pattern::kEdges);
    p.components = grey ? 1 : 3;
    p.quality = 90;
    SCOPED_TRACE(p.Name());
    const Coefficients coefficients = CoefficientsOf(p);
    int carriedPast63 = 0;  // blocks whose last coefficient is at 48 to 62
    for (const auto& block : coefficients.components[0].blocks) {
      carriedPast63 += block[63] == 0 && std::any_of(block.begin() + 48, block.begin() + 63,
                                                     [](int value) { return value != 0; });
    }
    ASSERT_GT(carriedPast63, 0);
    const std::vector<uint8_t> rewritten = Rewritten(coefficients, grey ? 1 : 0, true);
    ExpectWithinTheBound(Libjpeg(grey ? rewritten : test::CompressPicture(p)), rewritten, grey);
  }
}

// A picture cut at a restart marker and followed by the next picture, as in a media blob.
// libjpeg-turbo meets a marker where RSTn belongs, as we do: both show the MCUs before it and
// mid-grey after, except that libjpeg-turbo decodes the first MCU after the fault from zero
// bits. We keep that one grey too, and so does the reference here.
TEST(JpegConformance, RestartFaultShowsWhatWasDecodedThenGrey) {
  CorpusPicture p = Picture(2, 2, 1, 1, test::Pattern::kPhotoLike);
  p.restartInterval = 3;
  const std::vector<uint8_t> jpeg = test::CompressPicture(p);
  // The seventh RST marker follows MCU 20 of 8 x 5; MCU 21 covers x 80..95, y 32..47.
  std::size_t cut = static_cast<std::size_t>(test::FindMarkerOffset(jpeg, jpeg_marker::kSos));
  for (int markers = 0; markers < 7; ++cut) {
    markers += jpeg[cut] == jpeg_marker::kPrefix && jpeg_marker::IsRst(jpeg[cut + 1]);
  }
  std::vector<uint8_t> bytes(jpeg.begin(), jpeg.begin() + static_cast<long>(cut - 1));
  bytes.insert(bytes.end(), jpeg.begin(), jpeg.end());
  test::ReferenceImage reference = Libjpeg(bytes);
  for (int y = 32; y < 48; ++y) {
    const std::size_t row = std::size_t(reference.height - 1 - y) * reference.width * 3;
    std::fill_n(reference.bgr.begin() + static_cast<long>(row + 80 * 3), 16 * 3, uint8_t{128});
  }
  ExpectWithinTheBound(reference, bytes, false);
}

}  // namespace
}  // namespace lumafolio
