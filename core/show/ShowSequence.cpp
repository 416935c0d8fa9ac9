#include "core/show/ShowSequence.h"

#include <algorithm>

namespace lumafolio {

FilmItem NextItemAfter(const FilmDocument& film, const FilmItem& item) {
  return film.GetItem(item.position + 1);
}

std::optional<FilmItem> ItemToShowAfter(const FilmDocument& film, const FilmItem& current,
                                        bool loop) {
  FilmItem next = NextItemAfter(film, current);
  if (next.position == -1) {
    if (!loop) return std::nullopt;
    next = film.GetItem(1);
    // A film without items has no first item either; its lookup carries no meaning.
    if (next.position == -1) return std::nullopt;
  }
  return next;
}

FilmItem BeforeFirstItem() {
  FilmItem item;
  item.position = 0;
  item.itemType = kItemPicture;
  return item;
}

std::optional<FilmItem> StepBackOrigin(const FilmDocument& film, const FilmItem& current,
                                       bool loop) {
  int32_t origin = current.position - 2;
  if (!loop && origin < 0) return std::nullopt;
  if (loop && origin <= 0) origin += film.ItemCount();
  // Going back from the only item of a looping film (or from before the first) leaves no item
  // to start from: start from before the first, which brings item 1 on.
  if (origin <= 0) return BeforeFirstItem();
  FilmItem item = film.GetItem(origin);
  if (item.position == -1) return BeforeFirstItem();
  return item;
}

std::string MediaPath(const FilmItem& item) {
  if (item.mediaFolder.empty()) return item.mediaFile;
  if (item.mediaFolder.back() == '\\') return item.mediaFolder + item.mediaFile;
  return item.mediaFolder + "\\" + item.mediaFile;
}

uint32_t ItemTimeMs(const FilmItem& item) {
  // A window timer's longest period is 0x7FFFFFFF ms.
  constexpr int32_t kLongestSeconds = 0x7FFFFFFF / 1000;
  return static_cast<uint32_t>(std::clamp(item.durationSeconds, 0, kLongestSeconds)) * 1000;
}

}  // namespace lumafolio
