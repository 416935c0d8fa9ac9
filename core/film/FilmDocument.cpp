#include "core/film/FilmDocument.h"

#include <utility>

namespace lumafolio {

FilmItem* FilmDocument::Find(int32_t position) {
  return const_cast<FilmItem*>(std::as_const(*this).Find(position));
}

const FilmItem* FilmDocument::Find(int32_t position) const {
  if (position < 1 || position > ItemCount()) return nullptr;
  return &items_[static_cast<size_t>(position - 1)];
}

int32_t FilmDocument::AddItem(const FilmItem& item) {
  const int32_t position = items_.empty() ? 1 : items_.back().position + 1;
  FilmItem& added = items_.emplace_back(item);
  added.position = position;
  return position;
}

FilmItem FilmDocument::GetItem(int32_t position) const {
  if (const FilmItem* item = Find(position)) return *item;
  FilmItem none;
  none.position = -1;
  return none;
}

bool FilmDocument::UpdateItem(int32_t position, const FilmItem& value) {
  if (FilmItem* item = Find(position)) {
    *item = value;
    item->position = position;
  }
  return true;
}

bool FilmDocument::RemoveItem(int32_t position) {
  if (!Find(position)) return false;
  items_.erase(items_.begin() + (position - 1));
  int32_t next = 1;
  for (FilmItem& item : items_) item.position = next++;
  return true;
}

void FilmDocument::AddCaption(int32_t itemPosition, const Caption& caption) {
  FilmItem* item = Find(itemPosition);
  if (item == nullptr) return;
  const int32_t position = item->captions.empty() ? 1 : item->captions.back().position + 1;
  Caption& added = item->captions.emplace_back(caption);
  added.position = position;
}

}  // namespace lumafolio
