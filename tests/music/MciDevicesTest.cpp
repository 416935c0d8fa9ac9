#include <gtest/gtest.h>

#include "ScriptedMci.h"
#include "player/music/MciDevices.h"

namespace lumafolio {
namespace {

using Lines = std::vector<std::string>;

class CdAudioDeviceTest : public ::testing::Test {
 protected:
  ScriptedMci mci_;
  CdAudioDevice cd_{mci_.Api()};
};

TEST_F(CdAudioDeviceTest, OpensTheDriveAndParksAStoppedDiscAtItsFirstTrack) {
  ASSERT_TRUE(cd_.open(3));
  EXPECT_EQ(mci_.Take(), (Lines{"open 0x3302 type=516 element=D:", "set 0x400 format=10",
                                "status tracks", "status mode", "seek to 1"}));
  EXPECT_EQ(cd_.state(), CdAudioDevice::kStopped);
  EXPECT_EQ(cd_.EntryCount(), 10);
  EXPECT_EQ(cd_.CurrentEntry(), 1);

  // Drive A (index 0) is the system's default CD device: no element name.
  CdAudioDevice defaultDrive(mci_.Api());
  ASSERT_TRUE(defaultDrive.open(0));
  EXPECT_EQ(mci_.Take().front(), "open 0x3102 type=516");
}

TEST_F(CdAudioDeviceTest, TakesOverADiscAnotherProgramPlays) {
  mci_.mode = MCI_MODE_PLAY;
  mci_.positionTrack = 5;
  ASSERT_TRUE(cd_.open(3));
  EXPECT_EQ(cd_.state(), CdAudioDevice::kPlaying);
  EXPECT_EQ(cd_.CurrentEntry(), 5);
  mci_.Take();

  // The track already sounding runs on: nothing is played.
  EXPECT_TRUE(cd_.playTrack(5));
  EXPECT_EQ(mci_.Take(), (Lines{"status position"}));
  EXPECT_EQ(cd_.EntryCount(), 1);
  // Another track: played from its start, on from the playing disc.
  EXPECT_TRUE(cd_.playTrack(6));
  EXPECT_EQ(mci_.Take(), (Lines{"status position", "play from 6"}));
}

TEST_F(CdAudioDeviceTest, PlaysItsTrackOnceAndParksAtItsStart) {
  ASSERT_TRUE(cd_.open(3));
  mci_.Take();
  EXPECT_TRUE(cd_.playTrack(3));
  EXPECT_EQ(mci_.Take(), (Lines{"status position", "seek to 3", "play from 3"}));
  EXPECT_EQ(cd_.state(), CdAudioDevice::kPlaying);

  EXPECT_TRUE(cd_.poll());  // still on track 3
  EXPECT_EQ(mci_.Take(), (Lines{"status mode", "status position"}));

  mci_.positionTrack = 4;  // the disc has played on into the next track
  EXPECT_TRUE(cd_.poll());
  EXPECT_EQ(mci_.Take(), (Lines{"status mode", "status position", "stop 0x2", "seek to 3"}));
  EXPECT_EQ(cd_.state(), CdAudioDevice::kStopped);

  // Asked again, the track plays again from its start.
  EXPECT_TRUE(cd_.playTrack(3));
  EXPECT_EQ(mci_.Take(), (Lines{"status position", "play from 3"}));

  mci_.mode = MCI_MODE_STOP;  // the disc ran to its end: the list is used up
  EXPECT_TRUE(cd_.poll());
  EXPECT_EQ(mci_.Take(), (Lines{"status mode"}));
  EXPECT_EQ(cd_.state(), CdAudioDevice::kStopped);
}

TEST_F(CdAudioDeviceTest, ANotReadyDiscIsReadAgainWhenItIsBack) {
  ASSERT_TRUE(cd_.open(3));
  ASSERT_TRUE(cd_.playTrack(2));
  mci_.mode = MCI_MODE_NOT_READY;
  EXPECT_TRUE(cd_.poll());
  EXPECT_EQ(cd_.state(), CdAudioDevice::kNotReady);
  mci_.Take();

  // Back and stopped: read again, stopped at the first track.
  mci_.mode = MCI_MODE_STOP;
  mci_.tracks = 4;
  EXPECT_TRUE(cd_.poll());
  EXPECT_EQ(mci_.Take(), (Lines{"status mode", "set 0x400 format=10", "status tracks",
                                "status mode", "seek to 1"}));
  EXPECT_EQ(cd_.state(), CdAudioDevice::kStopped);
  EXPECT_EQ(cd_.EntryCount(), 4);

  // Played while not ready: the tray is toggled, the disc read, its first entry played.
  mci_.mode = MCI_MODE_OPEN;
  EXPECT_TRUE(cd_.poll());
  mci_.Take();
  EXPECT_TRUE(cd_.play());
  EXPECT_EQ(mci_.Take(), (Lines{"status mode", "set 0x202", "set 0x400 format=10", "status tracks",
                                "status mode", "status position", "play from 1"}));
  EXPECT_EQ(cd_.state(), CdAudioDevice::kPlaying);
}

TEST_F(CdAudioDeviceTest, FailuresAreReportedAndLeaveTheStateAlone) {
  mci_.failing = {MCI_OPEN};
  EXPECT_FALSE(cd_.open(3));
  EXPECT_FALSE(cd_.IsOpen());
  EXPECT_EQ(mci_.debugOutput, (Lines{"error " + std::to_string(ScriptedMci::kFailure)}));
  mci_.Take();
  // Closed: nothing is sent.
  EXPECT_FALSE(cd_.playTrack(1));
  EXPECT_FALSE(cd_.poll());
  EXPECT_FALSE(cd_.close());
  EXPECT_TRUE(mci_.Take().empty());

  mci_.failing = {MCI_PLAY};
  mci_.knowsErrorText = false;
  ASSERT_TRUE(cd_.open(3));
  EXPECT_FALSE(cd_.playTrack(2));
  EXPECT_EQ(cd_.state(), CdAudioDevice::kStopped);
  EXPECT_EQ(mci_.debugOutput.back(), "Unknown m_Error!");

  // A failed status query reads as a mode that is none of stop, play and pause.
  mci_.failing = {MCI_STATUS};
  EXPECT_TRUE(cd_.poll());
  EXPECT_EQ(cd_.state(), CdAudioDevice::kNotReady);
  EXPECT_EQ(mci_.debugOutput.size(), 2u);  // status queries are not reported

  mci_.failing = {};
  mci_.Take();
  EXPECT_TRUE(cd_.close());
  EXPECT_EQ(mci_.Take(), (Lines{"stop 0x2", "seek to 2", "close 0x2"}));
  EXPECT_FALSE(cd_.IsOpen());
}

TEST(MciFileDeviceTest, WaveOpensAtItsStartAndTellsAnEndFromNeverPlayed) {
  ScriptedMci mci;
  WaveDevice wave(mci.Api());
  ASSERT_TRUE(wave.open("theme.wav"));
  EXPECT_EQ(mci.Take(), (Lines{"open 0x13200 type=522 element=theme.wav buffer=4",
                               "set 0x400 format=0", "seek start"}));
  EXPECT_EQ(wave.status(), FileDeviceStatus::kNeverPlayed);
  EXPECT_TRUE(wave.play());
  EXPECT_EQ(wave.status(), FileDeviceStatus::kPlaying);
  mci.mode = MCI_MODE_PAUSE;
  EXPECT_EQ(wave.status(), FileDeviceStatus::kPaused);
  mci.mode = MCI_MODE_STOP;
  EXPECT_EQ(wave.status(), FileDeviceStatus::kEnded);
  mci.mode = MCI_MODE_SEEK;
  EXPECT_EQ(wave.status(), FileDeviceStatus::kUnknown);
  EXPECT_TRUE(wave.rewind());
  mci.Take();
  EXPECT_TRUE(wave.close());
  EXPECT_EQ(mci.Take(), (Lines{"close 0x0"}));
  // Asked while closed: the query is sent and fails.
  EXPECT_EQ(wave.status(), FileDeviceStatus::kUnknown);
  EXPECT_EQ(mci.Take(), (Lines{"status mode"}));
  EXPECT_FALSE(wave.play());
  EXPECT_FALSE(wave.rewind());
  EXPECT_FALSE(wave.close());
  EXPECT_TRUE(mci.Take().empty());

  // Reopened and stopped again without a play: never played, whatever came before.
  ASSERT_TRUE(wave.open("theme.wav"));
  mci.mode = MCI_MODE_STOP;
  EXPECT_EQ(wave.status(), FileDeviceStatus::kNeverPlayed);
}

TEST(MciFileDeviceTest, MidiOpensOnTheSequencerAndKeepsItsFailuresToItself) {
  ScriptedMci mci;
  MidiDevice midi(mci.Api());
  mci.failing = {MCI_OPEN};
  EXPECT_FALSE(midi.open("theme.mid"));
  EXPECT_EQ(midi.LastError(), ScriptedMci::kFailure);
  EXPECT_EQ(mci.Take(), (Lines{"open 0x3200 type=523 element=theme.mid"}));
  EXPECT_FALSE(midi.play());

  // A time format or seek that fails does not undo the open.
  mci.failing = {MCI_SET, MCI_SEEK};
  EXPECT_TRUE(midi.open("theme.mid"));
  EXPECT_TRUE(midi.IsOpen());
  EXPECT_TRUE(mci.debugOutput.empty());
}

}  // namespace
}  // namespace lumafolio
