// Video through wine's real DirectShow (decoding through GStreamer) on a real window. A graph
// that cannot be built leaves the poster and counts as ended at once; one that plays runs in a
// child window over the fitted rectangle, reports its end and, once released, holds nothing: no
// handle to its file is left open, which one unreleased interface of the graph would keep.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "DcPicture.h"
#include "TempDir.h"
#include "TestAvi.h"
#include "player/video/VideoPlayer.h"
#include "player/win32/GdiObjects.h"

namespace lumafolio {
namespace {

constexpr Rect kStage{112, 84, 912, 684};
const std::string kPoster = "1000";  // offsets of the pictures in the "program file"
const std::string kEnd = "3000";

// Whether anything holds the file open: only then is a handle that shares nothing refused.
bool InUse(const std::string& path) {
  const HANDLE file =
      CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_SHARING_VIOLATION;
  CloseHandle(file);
  return false;
}

class VideoPlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "LumafolioVideoTest";
    RegisterClassA(&wc);
    window_ = CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP | WS_VISIBLE, 0, 0, 1024, 768,
                              nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window_, nullptr) << "no window: is there a display?";
    test::DcPicture picture;  // 16 x 16 grey: the poster and the end picture
    const std::vector<uint8_t> jpeg = picture.Encode();
    std::vector<uint8_t> program(4000, 0x90);
    std::copy(jpeg.begin(), jpeg.end(), program.begin() + std::stoi(kPoster));
    std::copy(jpeg.begin(), jpeg.end(), program.begin() + std::stoi(kEnd));
    test::WriteBytes(program_, program);
  }
  void TearDown() override { DestroyWindow(window_); }

  static FilmItem Item(const std::string& endPicture) {
    FilmItem item;
    item.endPicture = endPicture;
    return item;
  }
  bool Paint(VideoPlayer& player) const { return player.Paint(WindowDc(window_).get()); }

  test::TempDir dir_;
  const std::string program_ = dir_.File("player.exe");
  HWND window_ = nullptr;
};

TEST_F(VideoPlayerTest, AGraphThatCannotBeBuiltLeavesThePosterAndEndsAtOnce) {
  const std::string noise = dir_.File("noise.avi");
  test::WriteBytes(noise, std::vector<uint8_t>(4096, 0x5A));
  for (const std::string& path : {noise, dir_.File("missing.avi")}) {
    SCOPED_TRACE(path);
    VideoPlayer player(window_, kStage, program_);
    SlideImage* poster = nullptr;
    ASSERT_EQ(player.PrepareVideo(path, 320, 180, kPoster, &poster), 1);
    EXPECT_FALSE(player.PreparedValid());
    ASSERT_NE(poster, nullptr);
    EXPECT_EQ(poster->Width(), 800);  // 16:9 fitted to the stage: full width
    EXPECT_EQ(poster->Height(), 450);
    EXPECT_FALSE(player.StartVideo(Item("-1"), nullptr));
    EXPECT_EQ(player.EventHandle(), nullptr);
    EXPECT_EQ(GetWindow(window_, GW_CHILD), nullptr);
    EXPECT_EQ(player.VideoRect(), (Rect{112, 159, 912, 609}));
    EXPECT_FALSE(Paint(player));  // nothing of ours covers the stage: the presenter shows it
    EXPECT_FALSE(player.IsPlaying());
    player.StopVideo(VideoPlayer::kStopPlayingAndPrepared);  // nothing left to release
  }
  EXPECT_FALSE(InUse(noise));

  // Without a declared size the video is fitted as its poster is (16 x 16: a square).
  VideoPlayer player(window_, kStage, program_);
  SlideImage* poster = nullptr;
  ASSERT_EQ(player.PrepareVideo(noise, 0, 0, kPoster, &poster), 1);
  player.StartVideo(Item("-1"), nullptr);
  EXPECT_EQ(player.VideoRect(), (Rect{212, 84, 812, 684}));
}

TEST_F(VideoPlayerTest, APlayedGraphEndsAndReleasesEverything) {
  const std::string clip = dir_.File("clip.avi");
  test::WriteBytes(clip, test::MakeTestAvi(32, 24, 10));  // one second
  VideoPlayer player(window_, kStage, program_);
  SlideImage* poster = nullptr;
  ASSERT_EQ(player.PrepareVideo(clip, 32, 24, kPoster, &poster), 1);
  ASSERT_TRUE(player.PreparedValid()) << "no graph: are GStreamer's base and good plugins there?";
  EXPECT_TRUE(InUse(clip)) << "the prepared graph holds its file";

  SlideImage* end = nullptr;
  ASSERT_TRUE(player.StartVideo(Item(kEnd), &end));
  EXPECT_NE(end, nullptr);
  const HWND video = GetWindow(window_, GW_CHILD);
  ASSERT_NE(video, nullptr) << "the video window is no child of the presenter";
  RECT placed;
  GetWindowRect(video, &placed);
  EXPECT_EQ((Rect{placed.left, placed.top, placed.right, placed.bottom}), kStage);

  const DWORD start = GetTickCount();
  while (player.IsPlaying() && GetTickCount() - start < 10000) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    if (WaitForSingleObject(player.EventHandle(), 0) == WAIT_OBJECT_0) player.ReadVideoEvents();
    EXPECT_TRUE(Paint(player));  // the video window, then the end picture
    Sleep(20);
  }
  EXPECT_FALSE(player.IsPlaying()) << "no end reported";
  EXPECT_GE(GetTickCount() - start, 800u);
  EXPECT_FALSE(IsWindowVisible(video)) << "the video window would cover the end picture";

  // A graph prepared meanwhile goes with the playing one.
  ASSERT_EQ(player.PrepareVideo(clip, 32, 24, kPoster, &poster), 1);
  player.StopVideo(VideoPlayer::kStopPlayingAndPrepared);
  EXPECT_EQ(player.EventHandle(), nullptr);
  EXPECT_EQ(GetWindow(window_, GW_CHILD), nullptr) << "the video window was not handed back";
  EXPECT_FALSE(InUse(clip)) << "a graph is still alive, holding the file";
}

}  // namespace
}  // namespace lumafolio
