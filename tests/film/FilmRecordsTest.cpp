#include <gtest/gtest.h>

#include <cstring>

#include "core/film/FilmRecords.h"
#include "core/film/LittleEndian.h"

namespace lumafolio {
namespace {

Caption SampleCaption() {
  Caption caption;
  caption.textEffect = 12;
  caption.text = "Line one\r\nLine two";
  caption.left = 40;
  caption.top = -25;
  caption.font.height = -150;
  caption.font.width = 3;
  caption.font.escapement = 4;
  caption.font.orientation = 5;
  caption.font.weight = 700;
  caption.font.italic = 1;
  caption.font.underline = 2;
  caption.font.strikeOut = 3;
  caption.font.charSet = 4;
  caption.font.outPrecision = 3;
  caption.font.clipPrecision = 2;
  caption.font.quality = 1;
  caption.font.pitchAndFamily = 0x42;
  std::strcpy(caption.font.faceName.data(), "Comic Sans MS");
  caption.textColour = 0x00112233;
  caption.lineSpacing = 150;
  caption.alignment = 2;
  caption.shadow = 1;
  caption.textWidth = 11;
  caption.textHeight = 22;
  return caption;
}

TEST(FilmRecords, ItemFieldsLieAtTheirOffsets) {
  FilmItem item;
  item.mediaFile = "23725";
  item.mediaFolder = "C:\\Films";
  item.posterImage = "50.jpg";
  item.endPicture = "60.jpg";
  item.musicFile = "0";
  item.imageWidth = 640;
  item.imageHeight = 480;
  item.durationSeconds = 3;
  item.transitionEffect = 23;
  item.transitionSteps = 24;
  item.position = 5;
  item.itemType = kItemVideo;
  item.musicMode = kMusicFile;
  const FilmItemRecord record = EncodeFilmItemRecord(item);
  const uint8_t* p = record.data();

  EXPECT_EQ(ReadText(p, 256), "23725");
  EXPECT_EQ(ReadText(p + 256, 260), "C:\\Films");
  EXPECT_EQ(ReadText(p + 516, 260), "50.jpg");
  EXPECT_EQ(ReadText(p + 776, 260), "60.jpg");
  EXPECT_EQ(ReadText(p + 1036, 260), "0");
  const int32_t expected[] = {640, 480, 3, 23, 24, 5, 1001, 3};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(ReadLe32(p + 1296 + 4 * i), expected[i]) << i;
  // little-endian byte order, byte by byte
  EXPECT_EQ(p[1296], 0x80);
  EXPECT_EQ(p[1297], 0x02);
  // Unused bytes of a text field stay zero.
  EXPECT_EQ(p[5], 0);
  EXPECT_EQ(p[255], 0);

  FilmItem back = DecodeFilmItemRecord(record);
  EXPECT_EQ(back, item);
}

TEST(FilmRecords, CaptionFieldsLieAtTheirOffsets) {
  const Caption caption = SampleCaption();
  const CaptionRecord record = EncodeCaptionRecord(caption, 3);
  const uint8_t* p = record.data();
  EXPECT_EQ(ReadLe32(p), 3);
  EXPECT_EQ(ReadLe32(p + 4), 12);
  EXPECT_EQ(ReadText(p + 8, 256), "Line one\r\nLine two");
  EXPECT_EQ(ReadLe32(p + 264), 40);
  EXPECT_EQ(ReadLe32(p + 268), -25);
  EXPECT_EQ(ReadLe32(p + 272), -150);
  EXPECT_EQ(ReadLe32(p + 288), 700);
  const uint8_t bytes[] = {1, 2, 3, 4, 3, 2, 1, 0x42};
  EXPECT_EQ(std::memcmp(p + 292, bytes, 8), 0);
  EXPECT_EQ(ReadText(p + 300, 32), "Comic Sans MS");
  EXPECT_EQ(ReadLe32(p + 332), 0x00112233);
  EXPECT_EQ(ReadLe32(p + 336), 150);
  EXPECT_EQ(ReadLe32(p + 340), 2);
  EXPECT_EQ(ReadLe32(p + 344), 1);
  EXPECT_EQ(ReadLe32(p + 348), 11);
  EXPECT_EQ(ReadLe32(p + 352), 22);

  // The stored number is not part of the caption: the document numbers captions itself.
  Caption back = DecodeCaptionRecord(record);
  EXPECT_EQ(back.position, 0);
  back.position = caption.position;
  EXPECT_EQ(back, caption);
}

TEST(FilmRecords, TextsAreCutAtTheirFieldWidth) {
  FilmItemRecord record{};
  std::memset(record.data(), 'x', 256);  // a media name that fills its field with no NUL
  std::memset(record.data() + 516, 'p', 260);
  const FilmItem item = DecodeFilmItemRecord(record);
  EXPECT_EQ(item.mediaFile, std::string(256, 'x'));
  EXPECT_EQ(item.mediaFolder, "");
  EXPECT_EQ(item.posterImage, std::string(260, 'p'));

  FilmItem tooLong;
  tooLong.mediaFile = std::string(300, 'y');
  tooLong.musicFile = std::string(260, 'm');
  const FilmItemRecord written = EncodeFilmItemRecord(tooLong);
  EXPECT_EQ(ReadText(written.data(), 256), std::string(255, 'y'));
  EXPECT_EQ(written[255], 0);
  EXPECT_EQ(ReadText(written.data() + 256, 260), "");  // did not spill into the next field
  EXPECT_EQ(ReadText(written.data() + 1036, 260), std::string(259, 'm'));

  CaptionRecord caption{};
  std::memset(caption.data() + 8, 'c', 256);
  std::memset(caption.data() + 300, 'f', 32);
  const Caption read = DecodeCaptionRecord(caption);
  EXPECT_EQ(read.text, std::string(256, 'c'));
  EXPECT_EQ(std::string(read.font.faceName.data(), 32), std::string(32, 'f'));
}

}  // namespace
}  // namespace lumafolio
