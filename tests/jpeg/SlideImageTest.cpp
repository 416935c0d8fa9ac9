#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "DcPicture.h"
#include "TempDir.h"
#include "core/jpeg/JpegDib.h"
#include "player/media/SlideImage.h"

namespace lumafolio {
namespace {

// A "program file": 1000 bytes of code, the JPEG, then more bytes, as in a player's payload.
class Slide : public ::testing::Test {
 protected:
  std::string Program(const std::vector<uint8_t>& jpeg) {
    std::vector<uint8_t> bytes(1000 + jpeg.size() + 500, 0xAB);
    std::fill_n(bytes.begin(), 1000, 0x90);
    std::copy(jpeg.begin(), jpeg.end(), bytes.begin() + 1000);
    test::WriteBytes(path_, bytes);
    return path_;
  }
  static std::vector<uint8_t> Picture(int width, int height) {
    test::DcPicture picture;
    picture.width = width;
    picture.height = height;
    picture.components = {{1, 2, 2, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}};
    picture.dc = [](int c, int bx, int by) { return c == 0 ? (bx * 37 + by * 11) % 200 - 100 : 0; };
    return picture.Encode();
  }

  test::TempDir dir_;
  std::string path_ = dir_.File("player.exe");
};

TEST_F(Slide, DecodesAtTheOffsetAndReportsTheDibSize) {
  const std::vector<uint8_t> jpeg = Picture(801, 600);
  SlideImage image(Program(jpeg));
  ASSERT_EQ(image.Decode("1000 and whatever follows"), 1);
  EXPECT_EQ(image.Width(), 808);
  EXPECT_EQ(image.Height(), 600);
  EXPECT_EQ(image.SetDisplaySize(400, 300), 1);
  EXPECT_EQ(image.Width(), 400);

  const HGLOBAL packed = image.MakePackedDib();
  ASSERT_NE(packed, nullptr);
  EXPECT_EQ(GlobalSize(packed), 808u * 3 * 600 + 1078 - 14);
  BITMAPINFOHEADER header;
  const auto* bytes = static_cast<const uint8_t*>(GlobalLock(packed));
  std::memcpy(&header, bytes, sizeof header);
  // The same picture as the portable decoder gives for the bare JPEG, from the info header on.
  std::vector<uint8_t> expected;
  ASSERT_TRUE(DecodeJpegToDib(jpeg, expected));
  EXPECT_TRUE(std::equal(expected.begin() + 14, expected.end(), bytes));
  GlobalUnlock(packed);
  GlobalFree(packed);
  EXPECT_EQ(header.biSize, 40u);
  EXPECT_EQ(header.biWidth, 808);
  EXPECT_EQ(header.biHeight, 600);
  EXPECT_EQ(header.biBitCount, 24);

  const HBITMAP bitmap = image.MakeBitmap(nullptr);
  ASSERT_NE(bitmap, nullptr);
  DeleteObject(bitmap);
  image.Release();
  image.Release();  // twice is harmless
  EXPECT_EQ(image.MakePackedDib(), nullptr);
}

TEST_F(Slide, NoPictureLeavesWhatIsHeld) {
  SlideImage image(Program(Picture(64, 48)));
  ASSERT_EQ(image.Decode("1000"), 1);
  EXPECT_EQ(image.Decode("-1"), 0);
  EXPECT_EQ(image.Width(), 64);
  const HGLOBAL packed = image.MakePackedDib();
  EXPECT_NE(packed, nullptr);
  GlobalFree(packed);
}

TEST_F(Slide, DamagedPicturesAreNoPictures) {
  std::vector<uint8_t> jpeg = Picture(64, 48);
  jpeg.resize(40);  // cut inside the headers: no frame, no scan
  SlideImage image(Program(jpeg));
  EXPECT_EQ(image.Decode("1000"), 0);
  EXPECT_EQ(image.MakePackedDib(), nullptr);
  EXPECT_EQ(image.Decode("0"), 0);  // the "code" bytes are no JPEG either

  SlideImage missing(dir_.File("no-such-player.exe"));
  EXPECT_EQ(missing.Decode("0"), 0);
}

}  // namespace
}  // namespace lumafolio
