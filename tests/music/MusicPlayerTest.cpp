#include <gtest/gtest.h>

#include <string>

#include "ScriptedMci.h"
#include "player/music/MusicPlayer.h"

namespace lumafolio {
namespace {

using Lines = std::vector<std::string>;

class MusicPlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A message-only window owns the music timer, as the presenter does in the show.
    owner_ =
        CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(owner_, nullptr);
    music_ = std::make_unique<MusicPlayer>(owner_, mci_.Api());
  }
  void TearDown() override {
    music_.reset();
    DestroyWindow(owner_);
  }

  ScriptedMci mci_;
  HWND owner_ = nullptr;
  std::unique_ptr<MusicPlayer> music_;
};

TEST_F(MusicPlayerTest, TheSameCdTrackRunsOnAndAnotherReopensTheDisc) {
  EXPECT_TRUE(music_->playFile("D:\\Track03.cda"));
  EXPECT_EQ(music_->Kind(), MusicKind::kCdAudio);
  EXPECT_EQ(music_->TimerPeriod(), 500u);
  Lines sent = mci_.Take();
  EXPECT_EQ(sent.front(), "open 0x3302 type=516 element=D:");
  EXPECT_EQ(sent.back(), "play from 3");

  // The same file, spelt in other case: not reopened, nothing played.
  EXPECT_TRUE(music_->playFile("d:\\TRACK03.CDA"));
  EXPECT_EQ(mci_.Take(), (Lines{"status position"}));

  // The timer polls the disc.
  music_->OnTimer();
  EXPECT_EQ(mci_.Take(), (Lines{"status mode", "status position"}));

  EXPECT_TRUE(music_->playFile("D:\\Track04.cda"));
  sent = mci_.Take();
  EXPECT_EQ(sent[0], "stop 0x2");
  EXPECT_EQ(sent[2], "close 0x2");
  EXPECT_EQ(sent[3], "open 0x3302 type=516 element=D:");
  EXPECT_EQ(sent.back(), "play from 4");

  music_->stopMusic();
  EXPECT_EQ(mci_.Take(), (Lines{"stop 0x2", "seek to 4", "close 0x2"}));
  EXPECT_EQ(music_->Kind(), MusicKind::kNone);
  EXPECT_EQ(music_->TimerPeriod(), 0u);
}

TEST_F(MusicPlayerTest, WaveAndMidiStartAgainEachTimeAndEndOnce) {
  EXPECT_TRUE(music_->playFile("song.mid.wav"));
  EXPECT_EQ(music_->Kind(), MusicKind::kWave);
  EXPECT_EQ(music_->TimerPeriod(), 250u);
  EXPECT_EQ(mci_.Take(), (Lines{"open 0x13200 type=522 element=song.mid.wav buffer=4",
                                "set 0x400 format=0", "seek start", "play"}));
  EXPECT_TRUE(music_->playFile("song.mid.wav"));
  EXPECT_EQ(mci_.Take(), (Lines{"close 0x0", "open 0x13200 type=522 element=song.mid.wav buffer=4",
                                "set 0x400 format=0", "seek start", "play"}));

  music_->OnTimer();  // still playing
  EXPECT_EQ(music_->TimerPeriod(), 250u);
  mci_.mode = MCI_MODE_STOP;  // ran to its end
  music_->OnTimer();
  EXPECT_EQ(mci_.Take(), (Lines{"status mode", "status mode", "seek start"}));
  EXPECT_EQ(music_->TimerPeriod(), 0u);
  EXPECT_EQ(music_->Kind(), MusicKind::kWave);  // open until told otherwise

  EXPECT_TRUE(music_->playFile("theme.MID"));
  EXPECT_EQ(music_->Kind(), MusicKind::kMidi);
  EXPECT_EQ(music_->TimerPeriod(), 500u);
  EXPECT_EQ(mci_.Take().front(), "close 0x0");
}

TEST_F(MusicPlayerTest, NamesItCannotPlayChangeNothing) {
  ASSERT_TRUE(music_->playFile("theme.wav"));
  mci_.Take();
  const std::string tooLong = "C:\\" + std::string(520, 'x') + ".wav";
  for (const std::string name :
       {"theme", "theme.txt", "D:\\Track00.cda", "D:\\Track-3.cda", "D:\\Track100.cda", "D:\\T.cda",
        "\\\\server\\cd\\Track01.cda", tooLong.c_str()}) {
    EXPECT_FALSE(music_->playFile(name)) << name;
  }
  EXPECT_TRUE(mci_.Take().empty());
  EXPECT_EQ(music_->Kind(), MusicKind::kWave);
  EXPECT_EQ(music_->TimerPeriod(), 250u);
}

TEST_F(MusicPlayerTest, AFileThatWillNotOpenLeavesSilence) {
  ASSERT_TRUE(music_->playFile("theme.wav"));
  mci_.failing = {MCI_OPEN};
  EXPECT_FALSE(music_->playFile("broken.wav"));
  EXPECT_EQ(music_->Kind(), MusicKind::kNone);
  EXPECT_EQ(music_->TimerPeriod(), 0u);
  EXPECT_EQ(mci_.Take().back(), "open 0x13200 type=522 element=broken.wav buffer=4");
}

TEST_F(MusicPlayerTest, TheTimerTicksThroughTheMessageLoop) {
  ASSERT_TRUE(music_->playFile("theme.wav"));
  mci_.mode = MCI_MODE_STOP;
  const DWORD start = GetTickCount();
  while (music_->TimerPeriod() != 0 && GetTickCount() - start < 3000) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    Sleep(10);
  }
  EXPECT_EQ(music_->TimerPeriod(), 0u);
  EXPECT_EQ(mci_.Take().back(), "seek start");
}

}  // namespace
}  // namespace lumafolio
