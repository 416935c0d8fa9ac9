// The stage's surfaces on real GDI: pictures centred on black, effects drawn into the output and
// onto a device context at the stage position, the stage memory kept for repaints.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "DcPicture.h"
#include "TempDir.h"
#include "core/jpeg/JpegDib.h"
#include "player/media/SlideImage.h"
#include "player/stage/StageSurface.h"

namespace lumafolio {
namespace {

constexpr int kStride = 2400;

// A window-sized 32-bit top-down DIB section standing in for the presenter's window.
class Screen {
 public:
  Screen(int width, int height) : width_(width), dc_(CreateCompatibleDC(nullptr)) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    pixels_ = static_cast<std::uint32_t*>(bits);
    previous_ = SelectObject(dc_, bitmap_);
    std::fill_n(pixels_, width * height, 0x00FFFFFFu);
  }
  ~Screen() {
    SelectObject(dc_, previous_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  HDC dc() const { return dc_; }
  // 0xRRGGBB of the pixel at (x, y), y from the top.
  std::uint32_t At(int x, int y) const {
    GdiFlush();
    return pixels_[y * width_ + x] & 0xFFFFFF;
  }

 private:
  int width_;
  HDC dc_;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ previous_ = nullptr;
  std::uint32_t* pixels_ = nullptr;
};

// 0xRRGGBB of stage pixel (x, y), y from the top, in a bottom-up 24-bit stage picture.
std::uint32_t StagePixel(const std::uint8_t* bits, int x, int y) {
  const std::uint8_t* p = bits + (599 - y) * kStride + x * 3;
  return std::uint32_t{p[2]} << 16 | p[1] << 8 | p[0];
}

class StageSurfaceTest : public ::testing::Test {
 protected:
  // A "program file" holding one JPEG of `width` x `height` at offset 1000; returns the JPEG.
  std::vector<std::uint8_t> WriteProgram(int width, int height, int seed) {
    test::DcPicture picture;
    picture.width = width;
    picture.height = height;
    picture.components = {{1, 1, 1, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}};
    picture.dc = [seed](int c, int bx, int by) {
      return c == 0 ? (bx * 37 + by * 11 + seed) % 150 - 40 : (c * 29 + bx - by) % 60 - 30;
    };
    const std::vector<std::uint8_t> jpeg = picture.Encode();
    std::vector<std::uint8_t> bytes(1000 + jpeg.size(), 0x90);
    std::copy(jpeg.begin(), jpeg.end(), bytes.begin() + 1000);
    test::WriteBytes(path_, bytes);
    return jpeg;
  }

  test::TempDir dir_;
  std::string path_ = dir_.File("player.exe");
  Screen screen_{1024, 768};
};

TEST_F(StageSurfaceTest, StageIsCentredInTheWindowAndClippedWhenLarger) {
  EXPECT_EQ(StageSurface(1024, 768).StagePosition().x, 112);
  EXPECT_EQ(StageSurface(1024, 768).StagePosition().y, 84);
  EXPECT_EQ(StageSurface(800, 600).StagePosition().x, 0);
  EXPECT_EQ(StageSurface(800, 600).StagePosition().y, 0);
  // A smaller screen: the origin goes negative and nothing is rescaled.
  EXPECT_EQ(StageSurface(640, 480).StagePosition().x, -80);
  EXPECT_EQ(StageSurface(640, 480).StagePosition().y, -60);
  EXPECT_EQ(StageSurface(801, 601).StagePosition().x, 0);
}

// Before any picture the stage paints black at its place and nothing around it.
TEST_F(StageSurfaceTest, StartsBlack) {
  StageSurface stage(1024, 768);
  ASSERT_TRUE(stage.CreateBitmaps(screen_.dc()));
  EXPECT_TRUE(std::all_of(stage.FromBits(), stage.FromBits() + kStride * 600,
                          [](std::uint8_t b) { return b == 0; }));
  stage.Present(screen_.dc());
  EXPECT_EQ(screen_.At(112, 84), 0u);
  EXPECT_EQ(screen_.At(911, 683), 0u);
  EXPECT_EQ(screen_.At(111, 84), 0xFFFFFFu);
  EXPECT_EQ(screen_.At(912, 683), 0xFFFFFFu);
  EXPECT_EQ(screen_.At(112, 684), 0xFFFFFFu);
}

// A picture drawn at its own size lands centred, pixel for pixel the decoder's, on black.
TEST_F(StageSurfaceTest, DrawsAPictureCentredOnBlack) {
  const std::vector<std::uint8_t> jpeg = WriteProgram(400, 304, 0);
  std::vector<std::uint8_t> dib;
  ASSERT_TRUE(DecodeJpegToDib(jpeg, dib));
  SlideImage image(path_);
  ASSERT_EQ(image.Decode("1000"), 1);

  StageSurface stage(1024, 768);
  ASSERT_TRUE(stage.CreateBitmaps(screen_.dc()));
  stage.DrawCentred(screen_.dc(), image, 400, 304, StageSurface::Picture::kTo);
  const std::uint8_t* b = stage.ToBits();
  for (int y = 0; y < 600; ++y) {
    for (int x = 0; x < 800; ++x) {
      const bool inside = x >= 200 && x < 600 && y >= 148 && y < 452;
      std::uint32_t expected = 0;
      if (inside) {
        const std::uint8_t* p = dib.data() + 54 + (303 - (y - 148)) * 1200 + (x - 200) * 3;
        expected = std::uint32_t{p[2]} << 16 | p[1] << 8 | p[0];
      }
      ASSERT_EQ(StagePixel(b, x, y), expected) << x << "," << y;
    }
  }
  // A is untouched.
  EXPECT_EQ(StagePixel(stage.FromBits(), 400, 300), 0u);
}

// A display size beyond the stage is clipped at the picture's edges.
TEST_F(StageSurfaceTest, ClipsALargerDisplaySize) {
  WriteProgram(64, 48, 5);
  SlideImage image(path_);
  ASSERT_EQ(image.Decode("1000"), 1);
  StageSurface stage(1024, 768);
  ASSERT_TRUE(stage.CreateBitmaps(screen_.dc()));
  stage.DrawCentred(screen_.dc(), image, 1600, 1200, StageSurface::Picture::kFrom);
  int black = 0;
  for (int y = 0; y < 600; y += 7) {
    for (int x = 0; x < 800; x += 7) black += StagePixel(stage.FromBits(), x, y) == 0;
  }
  EXPECT_EQ(black, 0);
}

// A transition draws into the output and onto the window; RestoreStage keeps the new picture in
// the stage memory, which the next transition starts from and every repaint shows.
TEST_F(StageSurfaceTest, TransitionsStartFromTheStageMemory) {
  WriteProgram(800, 600, 3);
  SlideImage first(path_);
  ASSERT_EQ(first.Decode("1000"), 1);
  StageSurface stage(1024, 768);
  ASSERT_TRUE(stage.CreateBitmaps(screen_.dc()));

  stage.CaptureStage(screen_.dc(), first);
  constexpr int kCut = 24;
  EXPECT_EQ(stage.BeginTransition(kCut), 0);
  EXPECT_TRUE(stage.Effects().Transition(kCut).active);
  stage.StepTransition(kCut, screen_.dc(), 10, 10);
  EXPECT_EQ(stage.EndTransition(kCut), 0);
  EXPECT_FALSE(stage.Effects().Transition(kCut).active);
  EXPECT_EQ(std::memcmp(stage.OutBits(), stage.ToBits(), kStride * 600), 0);
  EXPECT_EQ(screen_.At(112 + 5, 84 + 7), StagePixel(stage.ToBits(), 5, 7));
  EXPECT_EQ(screen_.At(111, 84), 0xFFFFFFu);

  stage.RestoreStage();
  Screen repaint(1024, 768);
  stage.Present(repaint.dc());
  for (int y = 0; y < 600; y += 13) {
    for (int x = 0; x < 800; x += 11) {
      ASSERT_EQ(repaint.At(112 + x, 84 + y), StagePixel(stage.ToBits(), x, y)) << x << "," << y;
    }
  }

  const std::vector<std::uint8_t> shown(stage.ToBits(), stage.ToBits() + kStride * 600);
  WriteProgram(320, 240, 9);
  SlideImage second(path_);
  ASSERT_EQ(second.Decode("1000"), 1);
  stage.CaptureStage(screen_.dc(), second);
  EXPECT_EQ(std::memcmp(stage.FromBits(), shown.data(), shown.size()), 0);
  EXPECT_NE(std::memcmp(stage.ToBits(), shown.data(), shown.size()), 0);
}

// Ending an effect that is not running, or with no effect, does nothing; releasing twice is
// harmless and a released stage draws nothing.
TEST_F(StageSurfaceTest, ReleasesOnceAndDrawsNothingAfterwards) {
  StageSurface stage(1024, 768);
  ASSERT_TRUE(stage.CreateBitmaps(screen_.dc()));
  EXPECT_EQ(stage.EndTransition(-1), 0);
  EXPECT_EQ(stage.EndCaption(-1), 0);
  EXPECT_EQ(stage.BeginCaption(-1), 0);
  stage.ReleaseSurfaces();
  stage.ReleaseSurfaces();
  EXPECT_FALSE(stage.HasSurfaces());
  stage.Present(screen_.dc());
  stage.RestoreStage();
  stage.StepTransition(24, screen_.dc(), 1, 1);
  EXPECT_EQ(screen_.At(500, 400), 0xFFFFFFu);
}

}  // namespace
}  // namespace lumafolio
