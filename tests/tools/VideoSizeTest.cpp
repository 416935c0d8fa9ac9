// The frame size that filmtool build fits a video item as, read from its AVI headers.
#include <gtest/gtest.h>

#include <string>

#include "TempDir.h"
#include "TestAvi.h"
#include "tools/filmtool/AviFrameSize.h"

namespace lumafolio {
namespace {

constexpr size_t kMainWidthAt = 64;      // the main header's dwWidth
constexpr size_t kStreamHeightAt = 180;  // the video stream format's biHeight

std::optional<FrameSize> SizeOf(const std::vector<uint8_t>& file) {
  test::TempDir dir;
  test::WriteBytes(dir.File("clip.avi"), file);
  return ReadAviFrameSize(dir.File("clip.avi"));
}

TEST(AviFrameSize, TheVideoStreamsFormatCountsAndWhatIsNoAviGivesNothing) {
  const std::vector<uint8_t> plain = test::MakeTestAvi(20, 12, 2);
  std::vector<uint8_t> mainDiffers = plain;
  mainDiffers[kMainWidthAt] = 99;
  std::vector<uint8_t> topDown = plain;  // height -12: the rows run top to bottom
  for (size_t i = 0; i < 4; ++i) topDown[kStreamHeightAt + i] = uint8_t(uint32_t(-12) >> (8 * i));
  for (const auto& file : {plain, mainDiffers, topDown}) {
    const std::optional<FrameSize> size = SizeOf(file);
    ASSERT_TRUE(size);
    EXPECT_EQ(size->width, 20);
    EXPECT_EQ(size->height, 12);
  }
  EXPECT_FALSE(SizeOf({}));
  EXPECT_FALSE(SizeOf({plain.begin(), plain.begin() + 120}));  // cut inside the headers
  EXPECT_FALSE(SizeOf(std::vector<uint8_t>(3000, 0x5A)));
  EXPECT_FALSE(SizeOf(test::MakeTestAvi(0, 12, 2)));  // no area
}

}  // namespace
}  // namespace lumafolio
