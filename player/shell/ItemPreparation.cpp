#include "player/shell/ItemPreparation.h"

#include <windows.h>

#include "core/payload/SafeMediaName.h"
#include "core/payload/SizeCodedName.h"
#include "player/shell/CopyFileRange.h"
#include "player/shell/MediaAvailability.h"
#include "player/win32/SystemPaths.h"

namespace lumafolio {
namespace {

// One pass over the items, carrying the offset of the next payload file.
class Preparation {
 public:
  Preparation(PreparationHost& host, FilmDocument& film, const PreparationPaths& paths)
      : host_(host), film_(film), paths_(paths), offset_(paths.mediaStart) {}

  bool Run() {
    const int32_t count = film_.ItemCount();
    if (count == 0) return false;
    host_.OpenProgress();
    int32_t position = 1;
    for (int32_t k = 1; k <= count; ++k, ++position) {
      FilmItem item = film_.GetItem(position);
      bool removed = false;
      if (!PrepareItem(item, position, removed)) {
        host_.CloseProgress();
        return false;
      }
      host_.SetProgress(static_cast<float>(k) / static_cast<float>(count));
      if (removed) {
        --position;  // the next item moved into this place
      } else {
        film_.UpdateItem(position, item);
      }
    }
    if (!videoAvailable_ && videoMet_) host_.ShowMessage("Cannot play video file");
    if (!pptAvailable_ && pptMet_) host_.ShowMessage("Cannot play PowerPoint file");
    host_.CloseProgress();
    return true;
  }

  void CheckMachine() {
    videoAvailable_ = host_.IsVideoPlaybackAvailable();
    pptAvailable_ = host_.IsPptViewerInstalled();
  }

 private:
  // A picture inside the program file becomes its offset; "-1" when there is none.
  std::string PictureOffset(const std::string& name) {
    const int64_t size = SizeFromCodedName(name);
    if (size == 0) return "-1";
    const std::string offset = std::to_string(offset_);
    offset_ = AddFileSize(offset_, size);
    return offset;
  }

  // Extracts `size` bytes at the running offset into the temporary folder under the film's name,
  // which becomes that file's path. The name is checked once it is UTF-8, as the path will be: in
  // a double-byte code page a backslash byte may be the second half of a character. A name that
  // could land outside the temporary folder is refused like a failed copy.
  bool Extract(std::string& name, int64_t size) {
    const std::string utf8 = Utf8FromAnsi(name);
    if (!IsSafeRelativeName(utf8)) return false;
    name = paths_.tempFolder + utf8;
    return CopyFileRange(paths_.program, offset_, size, name);
  }

  bool PrepareItem(FilmItem& item, int32_t position, bool& removed) {
    item.posterImage = PictureOffset(item.posterImage);

    const int64_t mediaSize = SizeFromCodedName(item.mediaFile);
    switch (item.itemType) {
      case kItemPicture:
        item.mediaFile = std::to_string(offset_);
        break;
      case kItemVideo:
      case kItemPowerPoint: {
        const bool video = item.itemType == kItemVideo;
        (video ? videoMet_ : pptMet_) = true;
        if (video ? videoAvailable_ : pptAvailable_) {
          if (!Extract(item.mediaFile, mediaSize)) return false;
        } else {
          film_.RemoveItem(position);
          removed = true;
        }
        break;
      }
      default:
        break;  // unknown kinds keep their place; only their bytes are stepped over
    }
    offset_ = AddFileSize(offset_, mediaSize);  // a removed item's bytes stay in the payload

    item.endPicture = PictureOffset(item.endPicture);

    // Whatever the music file becomes, it is a path the show opens, and so UTF-8 like every
    // other path of the player.
    if (item.musicMode == kMusicCdTrack) {
      const std::string drive =
          FindCdRomDrive([this](const char* root) { return host_.DriveType(root); });
      if (drive.empty()) {
        item.musicMode = kMusicKeep;
        item.musicFile = Utf8FromAnsi(item.musicFile);
      } else {
        const std::string name = Utf8FromAnsi(item.musicFile);
        item.musicFile = drive + BaseName(name) + Extension(name);
      }
    } else if (const int64_t musicSize = SizeFromCodedName(item.musicFile); musicSize != 0) {
      // Extracted even for a removed item, so that the offsets of what follows stay right.
      if (!Extract(item.musicFile, musicSize)) return false;
      offset_ = AddFileSize(offset_, musicSize);
    } else {
      item.musicFile = Utf8FromAnsi(item.musicFile);
    }
    return true;
  }

  PreparationHost& host_;
  FilmDocument& film_;
  const PreparationPaths& paths_;
  int64_t offset_;
  bool videoAvailable_ = false;
  bool pptAvailable_ = false;
  bool videoMet_ = false;
  bool pptMet_ = false;
};

}  // namespace

bool PrepareItems(PreparationHost& host, FilmDocument& film, const PreparationPaths& paths) {
  Preparation preparation(host, film, paths);
  preparation.CheckMachine();  // both checks run every time, before the film is read
  if (paths.film.empty() || !host.ReadFilm(film, paths.film)) return false;
  return preparation.Run();
}

}  // namespace lumafolio
