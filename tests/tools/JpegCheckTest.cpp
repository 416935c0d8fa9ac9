// Which JPEGs go into a film: what the player's decoder reads is accepted as it is, progressive
// pictures are rewritten losslessly, everything else is refused with the file's name.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "TestJpegs.h"
#include "tools/filmtool/JpegCheck.h"
#include "tools/filmtool/JpegRewrite.h"

namespace lumafolio {
namespace {

using test::JpegSpec;
using test::MakeJpeg;
using Result = JpegCheck::Result;

JpegSpec Sampled(int lumaH, int lumaV, int chromaH = 1, int chromaV = 1) {
  JpegSpec spec;
  spec.lumaH = lumaH;
  spec.lumaV = lumaV;
  spec.chromaH = chromaH;
  spec.chromaV = chromaV;
  return spec;
}

// Expects a refusal whose message contains `words`.
void ExpectRefused(const std::vector<uint8_t>& jpeg, const std::string& words) {
  const JpegCheck check = CheckPlayerJpeg(jpeg);
  EXPECT_EQ(check.result, Result::kRefused);
  EXPECT_NE(check.problem.find(words), std::string::npos) << check.problem;
}

TEST(JpegCheck, AcceptsTheBaselineKindsThePlayerDecodes) {
  JpegSpec grey;
  grey.components = 1;
  grey.lumaH = grey.lumaV = 1;
  JpegSpec odd = Sampled(2, 2);
  odd.width = 37;  // partial MCUs at the right and bottom edges
  odd.height = 21;
  const struct {
    const char* name;
    JpegSpec spec;
  } cases[] = {{"4:4:4", Sampled(1, 1)}, {"4:2:2", Sampled(2, 1)}, {"4:2:0", Sampled(2, 2)},
               {"4:4:0", Sampled(1, 2)}, {"4:1:1", Sampled(4, 1)}, {"luma 4x2", Sampled(4, 2)},
               {"greyscale", grey},      {"odd size", odd}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const JpegCheck check = CheckPlayerJpeg(MakeJpeg(c.spec));
    EXPECT_EQ(check.result, Result::kPlayable) << check.problem;
    EXPECT_EQ(check.width, c.spec.width);
    EXPECT_EQ(check.height, c.spec.height);
    EXPECT_EQ(check.components, c.spec.components);
  }
}

TEST(JpegCheck, RestartMarkersMustMatchTheInterval) {
  for (const int interval : {1, 3, 6}) {  // 6 MCUs of 16x16 in 48x32: the last one ends exactly
    SCOPED_TRACE(interval);
    JpegSpec spec;
    spec.restartInterval = interval;
    EXPECT_EQ(CheckPlayerJpeg(MakeJpeg(spec)).result, Result::kPlayable);
  }
  JpegSpec spec;
  spec.restartInterval = 2;
  const std::vector<uint8_t> jpeg = MakeJpeg(spec);

  // Without its DRI segment the markers would reach the player's scan decoder as data.
  const long dri = test::FindMarkerOffset(jpeg, 0xDD);
  ASSERT_GT(dri, 0);
  std::vector<uint8_t> noInterval = jpeg;
  noInterval.erase(noInterval.begin() + dri, noInterval.begin() + dri + 6);
  ExpectRefused(noInterval, "restart markers");

  // One restart marker missing: the player would stop the scan at the next boundary.
  std::vector<uint8_t> missing = jpeg;
  const long sos = test::FindMarkerOffset(jpeg, 0xDA);
  for (size_t i = static_cast<size_t>(sos) + 2; i + 1 < missing.size(); ++i) {
    if (missing[i] == 0xFF && missing[i + 1] >= 0xD0 && missing[i + 1] <= 0xD7) {
      missing.erase(missing.begin() + static_cast<long>(i),
                    missing.begin() + static_cast<long>(i) + 2);
      break;
    }
  }
  ExpectRefused(missing, "restart markers");
}

TEST(JpegCheck, RefusesWhatThePlayerCannotDecode) {
  JpegSpec cmyk = Sampled(1, 1);
  cmyk.components = 4;
  ExpectRefused(MakeJpeg(cmyk), "CMYK");

  JpegSpec arithmetic;
  arithmetic.arithmetic = true;
  ExpectRefused(MakeJpeg(arithmetic), "arithmetic");

  JpegSpec rgb = Sampled(1, 1);
  rgb.rgb = true;
  ExpectRefused(MakeJpeg(rgb), "RGB");

  ExpectRefused(MakeJpeg(Sampled(2, 2, 2, 1)), "chroma sampling");
  ExpectRefused(MakeJpeg(Sampled(3, 1)), "luma sampling");

  JpegSpec greyTwoByTwo;
  greyTwoByTwo.components = 1;
  ExpectRefused(MakeJpeg(greyTwoByTwo), "greyscale picture with sampling");

  // 12-bit samples come in an extended frame (SOF1); a baseline header claiming 12 bits is
  // refused as well. libjpeg-turbo here encodes 8-bit only, so the headers are patched.
  const std::vector<uint8_t> baseline = MakeJpeg(JpegSpec{});
  const long sof = test::FindMarkerOffset(baseline, 0xC0);
  ASSERT_GT(sof, 0);
  std::vector<uint8_t> extended = baseline;
  extended[static_cast<size_t>(sof) + 1] = 0xC1;
  extended[static_cast<size_t>(sof) + 4] = 12;
  ExpectRefused(extended, "extended sequential");
  std::vector<uint8_t> twelveBit = baseline;
  twelveBit[static_cast<size_t>(sof) + 4] = 12;
  ExpectRefused(twelveBit, "12-bit");
}

TEST(JpegCheck, RefusesDamagedStreams) {
  const std::vector<uint8_t> jpeg = MakeJpeg(JpegSpec{});
  ExpectRefused({'G', 'I', 'F', '8', '9', 'a'}, "not a JPEG");
  ExpectRefused({}, "not a JPEG");

  // The player reads exactly one 0xFF before a marker code.
  std::vector<uint8_t> fill = jpeg;
  const long sos = test::FindMarkerOffset(jpeg, 0xDA);
  fill.insert(fill.begin() + sos, 0xFF);
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
  const long sof = test::FindMarkerOffset(jpeg, 0xC0);
  badQuant[static_cast<size_t>(sof) + 12] = 4;  // first component's Tq
  ExpectRefused(badQuant, "quantisation table");
}

TEST(JpegRewrite, ProgressivePicturesBecomeBaselineWithIdenticalPixels) {
  JpegSpec colour;
  colour.progressive = true;
  colour.width = 50;
  colour.height = 34;
  JpegSpec grey = colour;
  grey.components = 1;
  grey.lumaH = grey.lumaV = 1;
  for (const JpegSpec& spec : {colour, grey}) {
    SCOPED_TRACE(spec.components);
    const std::vector<uint8_t> progressive = MakeJpeg(spec);
    ASSERT_EQ(CheckPlayerJpeg(progressive).result, Result::kProgressive);

    const PlayerPicture picture = PreparePlayerPicture(progressive, "p.jpg");
    EXPECT_TRUE(picture.rewritten);
    EXPECT_EQ(picture.width, spec.width);
    EXPECT_EQ(picture.height, spec.height);
    EXPECT_GT(test::FindMarkerOffset(picture.bytes, 0xC0), 0);
    EXPECT_EQ(test::FindMarkerOffset(picture.bytes, 0xC2), -1);
    EXPECT_EQ(CheckPlayerJpeg(picture.bytes).result, Result::kPlayable);

    const bool isGrey = spec.components == 1;
    const test::Decoded before = test::DecodeJpeg(progressive, isGrey);
    const test::Decoded after = test::DecodeJpeg(picture.bytes, isGrey);
    EXPECT_EQ(before.pixels, after.pixels);
  }
}

TEST(JpegRewrite, PreparingKeepsBaselineBytesAndNamesRefusedFiles) {
  const std::vector<uint8_t> baseline = MakeJpeg(JpegSpec{});
  const PlayerPicture picture = PreparePlayerPicture(baseline, "b.jpg");
  EXPECT_FALSE(picture.rewritten);
  EXPECT_EQ(picture.bytes, baseline);

  // A progressive CMYK picture is refused without trying to rewrite it.
  JpegSpec cmyk = Sampled(1, 1);
  cmyk.components = 4;
  cmyk.progressive = true;
  try {
    PreparePlayerPicture(MakeJpeg(cmyk), "photos/cmyk.jpg");
    FAIL() << "a CMYK picture was accepted";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()).rfind("photos/cmyk.jpg ", 0), 0u) << e.what();
  }
}

}  // namespace
}  // namespace lumafolio
