#include "core/payload/MediaLayout.h"

#include "core/payload/SizeCodedName.h"

namespace lumafolio {

const char* MediaFieldName(MediaField field) {
  switch (field) {
    case MediaField::kPosterImage:
      return "poster_image";
    case MediaField::kMediaFile:
      return "media_file";
    case MediaField::kEndPicture:
      return "end_picture";
    case MediaField::kMusicFile:
      return "music_file";
  }
  return "";
}

std::vector<MediaEntry> LayoutMedia(const FilmDocument& film, int64_t mediaStart) {
  std::vector<MediaEntry> entries;
  int64_t offset = mediaStart;
  auto add = [&](int32_t position, MediaField field, const std::string& name) {
    const int64_t size = SizeFromCodedName(name);
    if (size <= 0) return;
    entries.push_back({position, field, name, offset, size});
    offset = AddFileSize(offset, size);
  };
  for (int32_t position = 1; position <= film.ItemCount(); ++position) {
    const FilmItem item = film.GetItem(position);
    add(position, MediaField::kPosterImage, item.posterImage);
    add(position, MediaField::kMediaFile, item.mediaFile);
    add(position, MediaField::kEndPicture, item.endPicture);
    if (item.musicMode != kMusicCdTrack) add(position, MediaField::kMusicFile, item.musicFile);
  }
  return entries;
}

}  // namespace lumafolio
