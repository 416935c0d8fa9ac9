#include "core/film/FilmRecords.h"

#include "core/film/LittleEndian.h"

namespace lumafolio {
namespace {

// FILMITEM offsets.
constexpr size_t kMediaFileAt = 0;
constexpr size_t kMediaFolderAt = 256;
constexpr size_t kPosterImageAt = 516;
constexpr size_t kEndPictureAt = 776;
constexpr size_t kMusicFileAt = 1036;
constexpr size_t kImageWidthAt = 1296;
constexpr size_t kImageHeightAt = 1300;
constexpr size_t kDurationAt = 1304;
constexpr size_t kTransitionEffectAt = 1308;
constexpr size_t kTransitionStepsAt = 1312;
constexpr size_t kPositionAt = 1316;
constexpr size_t kItemTypeAt = 1320;
constexpr size_t kMusicModeAt = 1324;

// TEXT offsets.
constexpr size_t kCaptionNumberAt = 0;
constexpr size_t kTextEffectAt = 4;
constexpr size_t kTextAt = 8;
constexpr size_t kLeftAt = 264;
constexpr size_t kTopAt = 268;
constexpr size_t kFontAt = 272;
constexpr size_t kTextColourAt = 332;
constexpr size_t kLineSpacingAt = 336;
constexpr size_t kAlignmentAt = 340;
constexpr size_t kShadowAt = 344;
constexpr size_t kTextWidthAt = 348;
constexpr size_t kTextHeightAt = 352;

// LOGFONTA offsets, relative to the font.
constexpr size_t kFontBytesAt = 20;  // italic .. pitchAndFamily, one byte each
constexpr size_t kFaceAt = 28;

static_assert(kTextHeightAt + 4 == kCaptionRecordSize);
static_assert(kMusicModeAt + 4 == kFilmItemRecordSize);
static_assert(kFaceAt + LogFontA::kFaceSize == LogFontA::kRecordSize);
static_assert(kTextColourAt == kFontAt + LogFontA::kRecordSize);

void WriteFont(uint8_t* p, const LogFontA& font) {
  WriteLe32(p + 0, font.height);
  WriteLe32(p + 4, font.width);
  WriteLe32(p + 8, font.escapement);
  WriteLe32(p + 12, font.orientation);
  WriteLe32(p + 16, font.weight);
  uint8_t* bytes = p + kFontBytesAt;
  bytes[0] = font.italic;
  bytes[1] = font.underline;
  bytes[2] = font.strikeOut;
  bytes[3] = font.charSet;
  bytes[4] = font.outPrecision;
  bytes[5] = font.clipPrecision;
  bytes[6] = font.quality;
  bytes[7] = font.pitchAndFamily;
  for (int i = 0; i < LogFontA::kFaceSize; ++i) {
    p[kFaceAt + static_cast<size_t>(i)] =
        static_cast<uint8_t>(font.faceName[static_cast<size_t>(i)]);
  }
}

LogFontA ReadFont(const uint8_t* p) {
  LogFontA font;
  font.height = ReadLe32(p + 0);
  font.width = ReadLe32(p + 4);
  font.escapement = ReadLe32(p + 8);
  font.orientation = ReadLe32(p + 12);
  font.weight = ReadLe32(p + 16);
  const uint8_t* bytes = p + kFontBytesAt;
  font.italic = bytes[0];
  font.underline = bytes[1];
  font.strikeOut = bytes[2];
  font.charSet = bytes[3];
  font.outPrecision = bytes[4];
  font.clipPrecision = bytes[5];
  font.quality = bytes[6];
  font.pitchAndFamily = bytes[7];
  for (int i = 0; i < LogFontA::kFaceSize; ++i) {
    font.faceName[static_cast<size_t>(i)] = static_cast<char>(p[kFaceAt + static_cast<size_t>(i)]);
  }
  return font;
}

}  // namespace

FilmItemRecord EncodeFilmItemRecord(const FilmItem& item) {
  FilmItemRecord record{};
  uint8_t* p = record.data();
  WriteText(p + kMediaFileAt, kMediaFileWidth, item.mediaFile);
  WriteText(p + kMediaFolderAt, kPathFieldWidth, item.mediaFolder);
  WriteText(p + kPosterImageAt, kPathFieldWidth, item.posterImage);
  WriteText(p + kEndPictureAt, kPathFieldWidth, item.endPicture);
  WriteText(p + kMusicFileAt, kPathFieldWidth, item.musicFile);
  WriteLe32(p + kImageWidthAt, item.imageWidth);
  WriteLe32(p + kImageHeightAt, item.imageHeight);
  WriteLe32(p + kDurationAt, item.durationSeconds);
  WriteLe32(p + kTransitionEffectAt, item.transitionEffect);
  WriteLe32(p + kTransitionStepsAt, item.transitionSteps);
  WriteLe32(p + kPositionAt, item.position);
  WriteLe32(p + kItemTypeAt, item.itemType);
  WriteLe32(p + kMusicModeAt, item.musicMode);
  return record;
}

FilmItem DecodeFilmItemRecord(const FilmItemRecord& record) {
  const uint8_t* p = record.data();
  FilmItem item;
  item.mediaFile = ReadText(p + kMediaFileAt, kMediaFileWidth);
  item.mediaFolder = ReadText(p + kMediaFolderAt, kPathFieldWidth);
  item.posterImage = ReadText(p + kPosterImageAt, kPathFieldWidth);
  item.endPicture = ReadText(p + kEndPictureAt, kPathFieldWidth);
  item.musicFile = ReadText(p + kMusicFileAt, kPathFieldWidth);
  item.imageWidth = ReadLe32(p + kImageWidthAt);
  item.imageHeight = ReadLe32(p + kImageHeightAt);
  item.durationSeconds = ReadLe32(p + kDurationAt);
  item.transitionEffect = ReadLe32(p + kTransitionEffectAt);
  item.transitionSteps = ReadLe32(p + kTransitionStepsAt);
  item.position = ReadLe32(p + kPositionAt);
  item.itemType = ReadLe32(p + kItemTypeAt);
  item.musicMode = ReadLe32(p + kMusicModeAt);
  return item;
}

CaptionRecord EncodeCaptionRecord(const Caption& caption, int32_t number) {
  CaptionRecord record{};
  uint8_t* p = record.data();
  WriteLe32(p + kCaptionNumberAt, number);
  WriteLe32(p + kTextEffectAt, caption.textEffect);
  WriteText(p + kTextAt, kCaptionTextWidth, caption.text);
  WriteLe32(p + kLeftAt, caption.left);
  WriteLe32(p + kTopAt, caption.top);
  WriteFont(p + kFontAt, caption.font);
  WriteLe32(p + kTextColourAt, static_cast<int32_t>(caption.textColour));
  WriteLe32(p + kLineSpacingAt, caption.lineSpacing);
  WriteLe32(p + kAlignmentAt, caption.alignment);
  WriteLe32(p + kShadowAt, caption.shadow);
  WriteLe32(p + kTextWidthAt, caption.textWidth);
  WriteLe32(p + kTextHeightAt, caption.textHeight);
  return record;
}

Caption DecodeCaptionRecord(const CaptionRecord& record) {
  const uint8_t* p = record.data();
  Caption caption;
  caption.textEffect = ReadLe32(p + kTextEffectAt);
  caption.text = ReadText(p + kTextAt, kCaptionTextWidth);
  caption.left = ReadLe32(p + kLeftAt);
  caption.top = ReadLe32(p + kTopAt);
  caption.font = ReadFont(p + kFontAt);
  caption.textColour = static_cast<uint32_t>(ReadLe32(p + kTextColourAt));
  caption.lineSpacing = ReadLe32(p + kLineSpacingAt);
  caption.alignment = ReadLe32(p + kAlignmentAt);
  caption.shadow = ReadLe32(p + kShadowAt);
  caption.textWidth = ReadLe32(p + kTextWidthAt);
  caption.textHeight = ReadLe32(p + kTextHeightAt);
  return caption;
}

}  // namespace lumafolio
