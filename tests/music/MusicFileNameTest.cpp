#include <gtest/gtest.h>

#include "core/music/MusicFileName.h"

namespace lumafolio {
namespace {

TEST(MusicFileNameTest, KindIsTheLastExtensionIgnoringCase) {
  EXPECT_EQ(MusicKindOf("Track01.cda"), MusicKind::kCdAudio);
  EXPECT_EQ(MusicKindOf("D:\\Track01.Cda"), MusicKind::kCdAudio);
  EXPECT_EQ(MusicKindOf("TRACK01.CDA"), MusicKind::kCdAudio);
  EXPECT_EQ(MusicKindOf("song.mid.wav"), MusicKind::kWave);
  EXPECT_EQ(MusicKindOf("C:\\a.b\\theme.MID"), MusicKind::kMidi);
  EXPECT_EQ(MusicKindOf("theme.midi"), MusicKind::kNone);
  EXPECT_EQ(MusicKindOf("C:\\music.wav\\theme"), MusicKind::kNone);
  EXPECT_EQ(MusicKindOf("theme"), MusicKind::kNone);
  EXPECT_EQ(MusicKindOf(".wav"), MusicKind::kWave);
}

TEST(MusicFileNameTest, TrackNumberFromTheSixthCharacter) {
  EXPECT_EQ(CdTrackNumber("Track07.cda"), 7);
  EXPECT_EQ(CdTrackNumber("Spur 12.cda"), 12);  // the first five are skipped, whatever they are
  EXPECT_EQ(CdTrackNumber("Track99.cda"), 99);
  EXPECT_EQ(CdTrackNumber("Track 3x.cda"), 3);  // strtol skips blanks and stops at a non-digit
  // Not a track of an audio CD: nothing to open.
  EXPECT_EQ(CdTrackNumber("Track00.cda"), 0);
  EXPECT_EQ(CdTrackNumber("Track-3.cda"), 0);
  EXPECT_EQ(CdTrackNumber("Track100.cda"), 0);
  EXPECT_EQ(CdTrackNumber("Track99999999999999999999.cda"), 0);
  EXPECT_EQ(CdTrackNumber("Trackxx.cda"), 0);
  // Too short to have a sixth character.
  EXPECT_EQ(CdTrackNumber("Track"), 0);
  EXPECT_EQ(CdTrackNumber("T.cda"), 0);
  EXPECT_EQ(CdTrackNumber(""), 0);
}

TEST(MusicFileNameTest, DriveIndexFromTheFirstLetter) {
  EXPECT_EQ(DriveIndex("A:\\x.cda"), 0);
  EXPECT_EQ(DriveIndex("D:\\Track01.cda"), 3);
  EXPECT_EQ(DriveIndex("Z:\\x.cda"), 25);
  EXPECT_EQ('A' + DriveIndex("d:\\x.cda"), 'd');  // formats back to the letter the path had
  EXPECT_EQ(DriveIndex("\\\\server\\share\\Track01.cda"), -1);
  EXPECT_EQ(DriveIndex("1:\\x.cda"), -1);
  EXPECT_EQ(DriveIndex(""), -1);
}

}  // namespace
}  // namespace lumafolio
