// Which JPEGs go into a film: what the player's decoder reads is accepted as it is, progressive
// pictures are rewritten losslessly, everything else is refused with the file's name.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "ReferenceCodec.h"
#include "core/jpeg/JpegMarkers.h"
#include "tools/filmtool/JpegCheck.h"
#include "tools/filmtool/JpegRewrite.h"

namespace lumafolio {
namespace {

using test::CompressPicture;
using test::CorpusPicture;
using Result = JpegCheck::Result;

CorpusPicture Sampled(int lumaH, int lumaV, int chromaH = 1, int chromaV = 1) {
  CorpusPicture picture;
  picture.lumaH = lumaH;
  picture.lumaV = lumaV;
  picture.chromaH = chromaH;
  picture.chromaV = chromaV;
  return picture;
}

// Expects a refusal whose message contains `words`.
void ExpectRefused(const std::vector<uint8_t>& jpeg, const std::string& words) {
  const JpegCheck check = CheckPlayerJpeg(jpeg);
  EXPECT_EQ(check.result, Result::kRefused);
  EXPECT_NE(check.problem.find(words), std::string::npos) << check.problem;
}

TEST(JpegCheck, AcceptsTheBaselineKindsThePlayerDecodes) {
  CorpusPicture grey;
  grey.components = 1;
  grey.lumaH = grey.lumaV = 1;
  CorpusPicture greyTwoByTwo = grey;  // a lone component's factors mean nothing
  greyTwoByTwo.lumaH = greyTwoByTwo.lumaV = 2;
  CorpusPicture odd = Sampled(2, 2);
  odd.width = 37;  // partial MCUs at the right and bottom edges
  odd.height = 21;
  const struct {
    const char* name;
    CorpusPicture picture;
  } cases[] = {{"4:4:4", Sampled(1, 1)},
               {"4:2:2", Sampled(2, 1)},
               {"4:2:0", Sampled(2, 2)},
               {"4:4:0", Sampled(1, 2)},
               {"4:1:1", Sampled(4, 1)},
               {"luma 4x2", Sampled(4, 2)},
               {"all 2x1", Sampled(2, 1, 2, 1)},
               {"4:4:0 in 2x2", Sampled(2, 2, 2, 1)},
               {"greyscale", grey},
               {"greyscale 2x2", greyTwoByTwo},
               {"odd size", odd}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const JpegCheck check = CheckPlayerJpeg(CompressPicture(c.picture));
    EXPECT_EQ(check.result, Result::kPlayable) << check.problem;
    EXPECT_EQ(check.width, c.picture.width);
    EXPECT_EQ(check.height, c.picture.height);
    EXPECT_EQ(check.components, c.picture.components);
  }
}

TEST(JpegCheck, RestartMarkersMustMatchTheInterval) {
  for (const int interval : {1, 3, 6}) {  // 6 MCUs of 16x16 in 48x32: the last one ends exactly
    SCOPED_TRACE(interval);
    CorpusPicture picture;
    picture.restartInterval = interval;
    EXPECT_EQ(CheckPlayerJpeg(CompressPicture(picture)).result, Result::kPlayable);
  }
  CorpusPicture picture;
  picture.restartInterval = 2;
  const std::vector<uint8_t> jpeg = CompressPicture(picture);

  // Without its DRI segment the markers would reach the player's scan decoder as data.
  const long dri = test::FindMarkerOffset(jpeg, jpeg_marker::kDri);
  ASSERT_GT(dri, 0);
  std::vector<uint8_t> noInterval = jpeg;
  noInterval.erase(noInterval.begin() + dri, noInterval.begin() + dri + 6);
  ExpectRefused(noInterval, "restart markers");

  // One restart marker missing: the player would stop the scan at the next boundary.
  std::vector<uint8_t> missing = jpeg;
  const long sos = test::FindMarkerOffset(jpeg, jpeg_marker::kSos);
  for (size_t i = static_cast<size_t>(sos) + 2; i + 1 < missing.size(); ++i) {
    if (missing[i] == jpeg_marker::kPrefix && jpeg_marker::IsRst(missing[i + 1])) {
      missing.erase(missing.begin() + static_cast<long>(i),
                    missing.begin() + static_cast<long>(i) + 2);
      break;
    }
  }
  ExpectRefused(missing, "restart markers");
}

TEST(JpegCheck, RefusesWhatThePlayerCannotDecode) {
  CorpusPicture cmyk = Sampled(1, 1);
  cmyk.components = 4;
  ExpectRefused(CompressPicture(cmyk), "CMYK");

  CorpusPicture arithmetic;
  arithmetic.arithmetic = true;
  ExpectRefused(CompressPicture(arithmetic), "arithmetic");

  CorpusPicture rgb = Sampled(1, 1);
  rgb.rgb = true;
  ExpectRefused(CompressPicture(rgb), "RGB");

  ExpectRefused(CompressPicture(Sampled(1, 1, 2, 2)), "chroma sampling 2x2");
  ExpectRefused(CompressPicture(Sampled(3, 1)), "luma sampling");

  // 12-bit samples come in an extended frame (SOF1); a baseline header claiming 12 bits is
  // refused as well. libjpeg-turbo here encodes 8-bit only, so the headers are patched.
  const std::vector<uint8_t> baseline = CompressPicture(CorpusPicture{});
  const long sof = test::FindMarkerOffset(baseline, jpeg_marker::kSof0);
  ASSERT_GT(sof, 0);
  std::vector<uint8_t> extended = baseline;
  extended[static_cast<size_t>(sof) + 1] = jpeg_marker::kSof1;
  extended[static_cast<size_t>(sof) + 4] = 12;
  ExpectRefused(extended, "extended sequential");
  std::vector<uint8_t> twelveBit = baseline;
  twelveBit[static_cast<size_t>(sof) + 4] = 12;
  ExpectRefused(twelveBit, "12-bit");
}

TEST(JpegCheck, RefusesDamagedStreams) {
  const std::vector<uint8_t> jpeg = CompressPicture(CorpusPicture{});
  ExpectRefused({'G', 'I', 'F', '8', '9', 'a'}, "not a JPEG");
  ExpectRefused({}, "not a JPEG");

  // The player reads exactly one 0xFF before a marker code.
  std::vector<uint8_t> fill = jpeg;
  const long sos = test::FindMarkerOffset(jpeg, jpeg_marker::kSos);
  fill.insert(fill.begin() + sos, jpeg_marker::kPrefix);
  ExpectRefused(fill, "fill bytes");

  std::vector<uint8_t> truncated(jpeg.begin(), jpeg.end() - 2);  // no end-of-image marker
  ExpectRefused(truncated, "truncated");
  std::vector<uint8_t> headerOnly(jpeg.begin(), jpeg.begin() + sos + 3);
  ExpectRefused(headerOnly, "truncated");

  // A scan naming a table the picture never defines would index the player's empty tables.
  std::vector<uint8_t> badTable = jpeg;
  badTable[static_cast<size_t>(sos) + 6] = 0x23;  // first component: DC table 2, AC table 3
  ExpectRefused(badTable, "Huffman table");

  // A frame header that names a quantisation table beyond the player's four.
  std::vector<uint8_t> badQuant = jpeg;
  const long sof = test::FindMarkerOffset(jpeg, jpeg_marker::kSof0);
  badQuant[static_cast<size_t>(sof) + 12] = 4;  // first component's Tq
  ExpectRefused(badQuant, "quantisation table");
}

TEST(JpegRewrite, ProgressivePicturesBecomeBaselineWithIdenticalPixels) {
  CorpusPicture colour;
  colour.progressive = true;
  colour.width = 50;
  colour.height = 34;
  CorpusPicture grey = colour;
  grey.components = 1;
  grey.lumaH = grey.lumaV = 1;
  for (const CorpusPicture& source : {colour, grey}) {
    SCOPED_TRACE(source.components);
    const std::vector<uint8_t> progressive = CompressPicture(source);
    ASSERT_EQ(CheckPlayerJpeg(progressive).result, Result::kProgressive);

    const PlayerPicture picture = PreparePlayerPicture(progressive, "p.jpg");
    EXPECT_TRUE(picture.rewritten);
    EXPECT_EQ(picture.width, source.width);
    EXPECT_EQ(picture.height, source.height);
    EXPECT_GT(test::FindMarkerOffset(picture.bytes, jpeg_marker::kSof0), 0);
    EXPECT_EQ(test::FindMarkerOffset(picture.bytes, jpeg_marker::kSof2), -1);
    EXPECT_EQ(CheckPlayerJpeg(picture.bytes).result, Result::kPlayable);

    // The decoded planes, before upsampling and colour conversion: equal planes are equal
    // pixels in every decoder.
    test::ReferencePlanes before;
    test::ReferencePlanes after;
    ASSERT_TRUE(test::DecodePlanesWithTurbo(progressive, before));
    ASSERT_TRUE(test::DecodePlanesWithTurbo(picture.bytes, after));
    EXPECT_EQ(before.widths, after.widths);
    EXPECT_EQ(before.heights, after.heights);
    EXPECT_EQ(before.planes, after.planes);
  }
}

TEST(JpegRewrite, PreparingKeepsBaselineBytesAndNamesRefusedFiles) {
  const std::vector<uint8_t> baseline = CompressPicture(CorpusPicture{});
  const PlayerPicture picture = PreparePlayerPicture(baseline, "b.jpg");
  EXPECT_FALSE(picture.rewritten);
  EXPECT_EQ(picture.bytes, baseline);

  // A progressive CMYK picture is refused without trying to rewrite it.
  CorpusPicture cmyk = Sampled(1, 1);
  cmyk.components = 4;
  cmyk.progressive = true;
  try {
    PreparePlayerPicture(CompressPicture(cmyk), "photos/cmyk.jpg");
    FAIL() << "a CMYK picture was accepted";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()).rfind("photos/cmyk.jpg ", 0), 0u) << e.what();
  }
}

}  // namespace
}  // namespace lumafolio
