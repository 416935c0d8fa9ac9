#pragma once

#include <cstdint>
#include <list>
#include <string>
#include <vector>

#include "core/film/FilmStage.h"
#include "core/film/LogFont.h"

namespace lumafolio {

class FilmStorage;

enum ItemType : int32_t {
  kItemPicture = 1000,
  kItemVideo = 1001,
  kItemPowerPoint = 1003,
};

enum MusicMode : int32_t {
  kMusicKeep = 0,
  kMusicStop = 1,
  kMusicCdTrack = 2,
  kMusicFile = 3,
};

enum PlayMode : int32_t {
  kPlayTimed = 728,
  kPlayManual = 729,
};

// One caption of a picture item. Fields from `left` to `textHeight` travel together as one
// 92-byte block between the film file, the document and the caption renderer.
struct Caption {
  int32_t position = 0;  // 1-based, maintained by the document
  int32_t textEffect = 0;
  std::string text;  // lines separated by "\r\n"
  int32_t left = 0;
  int32_t top = 0;
  LogFontA font;
  uint32_t textColour = 0;  // 0x00BBGGRR
  int32_t lineSpacing = 100;
  int32_t alignment = 0;  // 0 left, 2 right, anything else centred
  int32_t shadow = 0;
  int32_t textWidth = 0;  // measured at layout time
  int32_t textHeight = 0;

  bool operator==(const Caption&) const = default;
};

struct FilmItem {
  std::string mediaFile;
  std::string mediaFolder;
  std::string posterImage;
  std::string endPicture;
  std::string musicFile;
  int32_t spare1 = 0;
  int32_t spare2 = 0;
  int32_t imageWidth = 0;
  int32_t imageHeight = 0;
  int32_t durationSeconds = 0;
  int32_t transitionEffect = 0;
  int32_t transitionSteps = 0;
  int32_t position = -1;  // 1-based place in the film; -1 marks "no such item"
  int32_t itemType = kItemPicture;
  int32_t musicMode = kMusicKeep;
  std::list<Caption> captions;

  bool operator==(const FilmItem&) const = default;
};

// The in-memory film: items in play order, each owning its captions, the two play settings and
// the stage it plays on.
// Everything is addressed by 1-based position; positions always run 1..count without gaps.
class FilmDocument {
 public:
  FilmDocument() = default;
  FilmDocument(const FilmDocument&) = delete;
  FilmDocument& operator=(const FilmDocument&) = delete;

  int32_t ItemCount() const { return static_cast<int32_t>(items_.size()); }

  // Appends a copy of the value (its position is ignored) and returns the new position.
  // The new item takes over the value's caption list as it is.
  int32_t AddItem(const FilmItem& item);
  // A full copy, captions included; position -1 and empty strings when no item has `position`.
  FilmItem GetItem(int32_t position) const;
  // Overwrites strings, integers and captions of the item at `position`; its position stays.
  bool UpdateItem(int32_t position, const FilmItem& item);
  // Removes the item and renumbers those after it; false when no item has `position`.
  bool RemoveItem(int32_t position);
  // Appends a copy of the caption to the item at `itemPosition`; dropped when there is none.
  void AddCaption(int32_t itemPosition, const Caption& caption);

  int32_t PlayMode() const { return playMode_; }
  void SetPlayMode(int32_t mode) { playMode_ = mode; }
  // Only the low-order byte of the stored value counts.
  bool LoopFlag() const { return loopFlag_ != 0; }
  uint8_t LoopByte() const { return loopFlag_; }
  void SetLoopFlag(int32_t value) { loopFlag_ = static_cast<uint8_t>(value & 0xFF); }
  // Classic unless the film asks for another stage.
  const FilmStage& Stage() const { return stage_; }
  void SetStage(const FilmStage& stage) { stage_ = stage; }

  // Reads a film file and appends its items; true when the whole film was read.
  // `pumpMessage` is called once before each root element, so that windows stay served
  // during long reads (the player pumps one window message there).
  bool ReadFilm(const std::string& path, FilmStorage& storage, void (*pumpMessage)() = nullptr);

 private:
  FilmItem* Find(int32_t position);
  const FilmItem* Find(int32_t position) const;

  // In film order; the item at index i always has position i + 1 (positions are renumbered
  // whenever an item goes), so a look-up by position is an index, not a walk: the film's own
  // loops over positions 1..n stay linear in the number of items.
  std::vector<FilmItem> items_;
  int32_t playMode_ = kPlayTimed;
  uint8_t loopFlag_ = 1;
  FilmStage stage_;
};

}  // namespace lumafolio
