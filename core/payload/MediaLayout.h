#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/film/FilmDocument.h"

namespace lumafolio {

// Which string of an item names a payload file. Within an item the files lie in this order.
enum class MediaField { kPosterImage, kMediaFile, kEndPicture, kMusicFile };

const char* MediaFieldName(MediaField field);  // "poster_image", "media_file", ...

struct MediaEntry {
  int32_t item = 0;  // 1-based position
  MediaField field = MediaField::kMediaFile;
  std::string name;  // the size-coded name as the film gives it
  int64_t offset = 0;
  int64_t size = 0;

  // Whether the file lies wholly within a program of `fileSize` bytes. A name may claim any
  // size up to the largest int64_t, so this never adds offset and size.
  bool FitsIn(int64_t fileSize) const { return offset <= fileSize && size <= fileSize - offset; }
};

// Where every payload file of an unprepared film lies, starting at `mediaStart`. The payload has
// no directory: offsets follow from adding up the sizes that the names carry, in item order and,
// within an item, poster, media file, end picture, music. A CD track (music mode 2) is never
// stored. Files of size 0 are absent and get no entry.
std::vector<MediaEntry> LayoutMedia(const FilmDocument& film, int64_t mediaStart);

}  // namespace lumafolio
