// Video through wine's real DirectShow (decoding through GStreamer) on a real window: a graph that
// cannot be built leaves the poster and counts as ended; a graph that plays runs in a child
// window over the fitted rectangle, reports its end, leaves its end picture, and once released
// holds nothing (no handle to the file it played is left open: a single interface left unreleased
// would keep the whole graph, and its open file, alive).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "DcPicture.h"
#include "TempDir.h"
#include "TestAvi.h"
#include "core/jpeg/JpegDib.h"
#include "player/video/VideoPlayer.h"
#include "player/win32/GdiObjects.h"

namespace lumafolio {
namespace {

constexpr Rect kStage{112, 84, 912, 684};
constexpr int kPosterAt = 1000;
constexpr int kEndAt = 3000;

class VideoPlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "LumafolioVideoTest";
    RegisterClassExA(&wc);
    window_ = CreateWindowExA(0, "LumafolioVideoTest", "", WS_POPUP | WS_VISIBLE, 0, 0, 1024, 768,
                              nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window_, nullptr) << "no window: is there a display?";
    // A "program file" with the poster and the end picture at known offsets.
    std::vector<std::uint8_t> program(6000, 0x90);
    const std::vector<std::uint8_t> poster = Jpeg(kPosterShade);
    const std::vector<std::uint8_t> end = Jpeg(kEndShade);
    std::copy(poster.begin(), poster.end(), program.begin() + kPosterAt);
    std::copy(end.begin(), end.end(), program.begin() + kEndAt);
    program_ = dir_.File("player.exe");
    test::WriteBytes(program_, program);
  }
  void TearDown() override {
    if (window_ != nullptr) DestroyWindow(window_);
  }

  static std::vector<std::uint8_t> Jpeg(int shade) {
    test::DcPicture picture;
    picture.width = 32;
    picture.height = 24;
    picture.components = {{1, 1, 1, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}};
    picture.dc = [shade](int c, int, int) { return c == 0 ? shade : 0; };
    return picture.Encode();
  }
  static COLORREF Colour(int shade) {
    std::vector<std::uint8_t> dib;
    EXPECT_TRUE(DecodeJpegToDib(Jpeg(shade), dib));
    return dib.size() > 56 ? RGB(dib[56], dib[55], dib[54]) : CLR_INVALID;
  }
  COLORREF Pixel(int x, int y) const { return GetPixel(WindowDc(window_).get(), x, y); }
  void Fill(COLORREF colour) const {
    const RECT all{0, 0, 1024, 768};
    const GdiObject<HBRUSH> brush(CreateSolidBrush(colour));
    FillRect(WindowDc(window_).get(), &all, brush.get());
  }
  static void Pump() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  }
  static FilmItem Item(const std::string& endPicture) {
    FilmItem item;
    item.itemType = kItemVideo;
    item.endPicture = endPicture;
    return item;
  }
  // Whether anything holds the file open: only then is a handle that shares nothing refused.
  static bool InUse(const std::string& path) {
    const HANDLE file =
        CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_SHARING_VIOLATION;
    CloseHandle(file);
    return false;
  }
  // The video's own child window of the presenter, or none.
  HWND VideoWindow() const { return GetWindow(window_, GW_CHILD); }

  static constexpr int kPosterShade = 300;
  static constexpr int kEndShade = -500;
  test::TempDir dir_;
  std::string program_;
  HWND window_ = nullptr;
};

TEST_F(VideoPlayerTest, AGraphThatCannotBeBuiltLeavesThePosterAndEndsAtOnce) {
  const std::string noise = dir_.File("noise.avi");
  test::WriteBytes(noise, std::vector<std::uint8_t>(4096, 0x5A));
  for (const std::string& path : {noise, dir_.File("missing.avi")}) {
    SCOPED_TRACE(path);
    VideoPlayer player(window_, kStage, program_);
    SlideImage* poster = nullptr;
    ASSERT_EQ(player.PrepareVideo(path, 320, 180, std::to_string(kPosterAt), &poster), 1);
    EXPECT_FALSE(player.PreparedValid());
    ASSERT_NE(poster, nullptr);
    EXPECT_EQ(poster->Width(), 800);  // 16:9 fitted to the stage: full width
    EXPECT_EQ(poster->Height(), 450);

    SlideImage* end = nullptr;
    EXPECT_FALSE(player.StartVideo(Item("-1"), &end));
    EXPECT_EQ(end, nullptr);
    EXPECT_EQ(player.EventHandle(), nullptr);
    EXPECT_EQ(VideoWindow(), nullptr);
    EXPECT_EQ(player.VideoRect(), (Rect{112, 159, 912, 609}));
    // Nothing of ours covers the rectangle: the presenter shows its stage (the poster).
    EXPECT_FALSE(player.Paint(WindowDc(window_).get()));
    EXPECT_FALSE(player.IsPlaying());
    player.StopVideo(VideoPlayer::kStopPlayingAndPrepared);  // nothing left to release
  }
  EXPECT_FALSE(InUse(noise));

  // Without a poster, or without a declared size, the show still has something to go by.
  VideoPlayer player(window_, kStage, program_);
  SlideImage stale(program_);
  SlideImage* poster = &stale;
  EXPECT_EQ(player.PrepareVideo(noise, 320, 240, "-1", &poster), 0);
  EXPECT_EQ(poster, nullptr);
  ASSERT_EQ(player.PrepareVideo(noise, 0, 0, std::to_string(kPosterAt), &poster), 1);
  player.StartVideo(Item("-1"), nullptr);
  EXPECT_EQ(player.VideoRect(), (Rect{112, 84, 912, 684}));  // fitted as the 32 x 24 poster
}

TEST_F(VideoPlayerTest, AVideoPlaysInItsRectangleEndsOnItsPictureAndReleasesEverything) {
  const std::string clip = dir_.File("clip.avi");
  // One second of 4:3 frames, red on the left half and blue on the right.
  test::WriteBytes(
      clip,
      test::MakeTestAvi({.width = 32, .height = 24, .frames = 10, .colour = [](int, int x, int) {
                           return x < 16 ? 0xD02020u : 0x2020D0u;
                         }}));
  VideoPlayer player(window_, kStage, program_);
  SlideImage* poster = nullptr;
  ASSERT_EQ(player.PrepareVideo(clip, 32, 24, std::to_string(kPosterAt), &poster), 1);
  ASSERT_TRUE(player.PreparedValid()) << "no graph: are GStreamer's base and good plugins there?";
  EXPECT_TRUE(InUse(clip)) << "the prepared graph holds its file";

  SlideImage* end = nullptr;
  ASSERT_TRUE(player.StartVideo(Item(std::to_string(kEndAt)), &end));
  ASSERT_NE(end, nullptr);
  EXPECT_EQ(end->Width(), 800);
  EXPECT_EQ(player.VideoRect(), kStage);
  const HWND video = VideoWindow();
  ASSERT_NE(video, nullptr) << "the video window is no child of the presenter";
  RECT placed;
  GetWindowRect(video, &placed);
  EXPECT_EQ((Rect{placed.left, placed.top, placed.right, placed.bottom}), kStage);
  EXPECT_TRUE(IsWindowVisible(video));

  // Erasing while it plays blacks the rest of the window and keeps the video's rectangle.
  Fill(RGB(255, 255, 255));
  EXPECT_EQ(player.EraseBackground(WindowDc(window_).get()), 1);
  EXPECT_EQ(Pixel(50, 50), RGB(0, 0, 0));
  EXPECT_EQ(Pixel(1000, 700), RGB(0, 0, 0));

  // The end arrives through the event handle, well after one second and before ten.
  bool sawFrame = false;
  const DWORD start = GetTickCount();
  while (player.IsPlaying() && GetTickCount() - start < 10000) {
    Pump();
    sawFrame = sawFrame || Pixel(300, 400) == RGB(0xD0, 0x20, 0x20);
    if (WaitForSingleObject(player.EventHandle(), 0) == WAIT_OBJECT_0) {
      EXPECT_EQ(player.ReadVideoEvents(), 0);
    }
    EXPECT_TRUE(player.Paint(WindowDc(window_).get()));  // the video window, or the end picture
    Sleep(20);
  }
  EXPECT_FALSE(player.IsPlaying()) << "no end reported";
  EXPECT_GE(GetTickCount() - start, 800u);
  EXPECT_TRUE(sawFrame) << "the video's frames never reached the screen";
  EXPECT_EQ(Pixel(300, 400), Colour(kEndShade));
  EXPECT_EQ(Pixel(800, 600), Colour(kEndShade));
  EXPECT_FALSE(IsWindowVisible(video)) << "the video window would cover the end picture";

  // A second graph prepared meanwhile goes with the playing one.
  ASSERT_EQ(player.PrepareVideo(clip, 32, 24, std::to_string(kPosterAt), &poster), 1);
  ASSERT_TRUE(player.PreparedValid());
  player.StopVideo(VideoPlayer::kStopPlayingAndPrepared);
  EXPECT_EQ(player.EventHandle(), nullptr);
  Pump();
  EXPECT_EQ(VideoWindow(), nullptr) << "the video window was not handed back";
  EXPECT_FALSE(InUse(clip)) << "a graph is still alive, holding the file";
}

}  // namespace
}  // namespace lumafolio
