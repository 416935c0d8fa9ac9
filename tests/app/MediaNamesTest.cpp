// Size-coded names, the payload layout they imply and the names that may be extracted.
#include <gtest/gtest.h>

#include "core/payload/MediaLayout.h"
#include "core/payload/SafeMediaName.h"
#include "core/payload/SizeCodedName.h"

namespace lumafolio {
namespace {

TEST(SizeCodedName, LeadingDigitsOfTheBaseName) {
  EXPECT_EQ(SizeFromCodedName("12ab"), 12);
  EXPECT_EQ(SizeFromCodedName("ab12"), 0);
  EXPECT_EQ(SizeFromCodedName("23725"), 23725);
  EXPECT_EQ(SizeFromCodedName("4096-clip.avi"), 4096);
  EXPECT_EQ(SizeFromCodedName("C:\\music\\77.wav"), 77);
  EXPECT_EQ(SizeFromCodedName("media/0099.mid"), 99);
  EXPECT_EQ(SizeFromCodedName("12\\ab"), 0);  // the folder's digits do not count
  EXPECT_EQ(SizeFromCodedName("5.6.7"), 5);
  EXPECT_EQ(SizeFromCodedName(".wav"), 0);
  EXPECT_EQ(SizeFromCodedName(""), 0);
  EXPECT_EQ(SizeFromCodedName("0"), 0);
  // Too many digits saturate instead of wrapping round to a small or negative size.
  EXPECT_EQ(SizeFromCodedName("99999999999999999999999"), INT64_MAX);
}

TEST(SizeCodedName, SplitsLikeTheRuntime) {
  EXPECT_EQ(BaseName("D:\\Track02.cda"), "Track02");
  EXPECT_EQ(Extension("D:\\Track02.cda"), ".cda");
  EXPECT_EQ(BaseName("a.b.c"), "a.b");
  EXPECT_EQ(Extension("a.b.c"), ".c");
  EXPECT_EQ(BaseName("dir.x\\name"), "name");
  EXPECT_EQ(Extension("dir.x\\name"), "");
  EXPECT_EQ(BaseName("C:name.txt"), "name");
}

FilmItem Item(int32_t type, const std::string& media) {
  FilmItem item;
  item.itemType = type;
  item.mediaFile = media;
  item.musicFile = "0";
  return item;
}

TEST(MediaLayout, OffsetsAddUpInItemAndFieldOrder) {
  FilmDocument film;
  film.AddItem(Item(kItemPicture, "100"));
  FilmItem second = Item(kItemPicture, "100");
  second.posterImage = "50";
  film.AddItem(second);
  FilmItem video = Item(kItemVideo, "300-v.avi");
  video.posterImage = "20.jpg";
  video.endPicture = "30.jpg";
  video.musicFile = "40-m.wav";
  video.musicMode = kMusicFile;
  film.AddItem(video);
  FilmItem cd = Item(kItemPicture, "10");
  cd.musicFile = "999-Track02.cda";  // a CD track is never stored, whatever its name says
  cd.musicMode = kMusicCdTrack;
  film.AddItem(cd);
  FilmItem keepMusic = Item(kItemPicture, "10");
  keepMusic.musicFile = "5.wav";  // stored even though the item does not start it
  film.AddItem(keepMusic);

  const std::vector<MediaEntry> entries = LayoutMedia(film, 5000);
  struct Expected {
    int32_t item;
    MediaField field;
    int64_t offset, size;
  };
  const Expected expected[] = {
      {1, MediaField::kMediaFile, 5000, 100}, {2, MediaField::kPosterImage, 5100, 50},
      {2, MediaField::kMediaFile, 5150, 100}, {3, MediaField::kPosterImage, 5250, 20},
      {3, MediaField::kMediaFile, 5270, 300}, {3, MediaField::kEndPicture, 5570, 30},
      {3, MediaField::kMusicFile, 5600, 40},  {4, MediaField::kMediaFile, 5640, 10},
      {5, MediaField::kMediaFile, 5650, 10},  {5, MediaField::kMusicFile, 5660, 5},
  };
  ASSERT_EQ(entries.size(), std::size(expected));
  for (size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(entries[i].item, expected[i].item) << i;
    EXPECT_EQ(entries[i].field, expected[i].field) << i;
    EXPECT_EQ(entries[i].offset, expected[i].offset) << i;
    EXPECT_EQ(entries[i].size, expected[i].size) << i;
  }
  EXPECT_EQ(entries[4].name, "300-v.avi");
}

TEST(MediaLayout, AbsurdSizesSaturateInsteadOfWrapping) {
  FilmDocument film;
  film.AddItem(Item(kItemPicture, "99999999999999999999999"));
  film.AddItem(Item(kItemPicture, "9223372036854775807"));
  film.AddItem(Item(kItemPicture, "10"));
  const std::vector<MediaEntry> entries = LayoutMedia(film, 5000);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[1].offset, INT64_MAX);
  EXPECT_EQ(entries[2].offset, INT64_MAX);  // past every file, never small or negative
}

TEST(SafeMediaName, OnlyPlainRelativeNames) {
  for (const char* name :
       {"23725", "4096-clip.avi", "sub\\5.wav", "sub/5.wav", "a..b.avi", "...x", ".hidden"}) {
    EXPECT_TRUE(IsSafeRelativeName(name)) << name;
  }
  for (const char* name :
       {"", "..\\..\\x.exe", "../x", "a\\..\\..\\b", "sub/..", "..", "C:\\x", "C:x", "\\x",
        "/etc/passwd", "\\\\server\\share\\x", "x.avi:stream", ". .\\x", ".. \\x", "a\\...\\b"}) {
    EXPECT_FALSE(IsSafeRelativeName(name)) << name;
  }
}

}  // namespace
}  // namespace lumafolio
