#include "core/film/FilmDocument.h"

namespace lumafolio {

FilmItem* FilmDocument::Find(int32_t position) {
  for (FilmItem& item : items_) {
    if (item.position == position) return &item;
  }
  return nullptr;
}

const FilmItem* FilmDocument::Find(int32_t position) const {
  for (const FilmItem& item : items_) {
    if (item.position == position) return &item;
  }
  return nullptr;
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
  for (auto it = items_.begin(); it != items_.end(); ++it) {
    if (it->position != position) continue;
    items_.erase(it);
    int32_t next = 1;
    for (FilmItem& item : items_) item.position = next++;
    return true;
  }
  return false;
}

void FilmDocument::AddCaption(int32_t itemPosition, const Caption& caption) {
  FilmItem* item = Find(itemPosition);
  if (item == nullptr) return;
  const int32_t position = item->captions.empty() ? 1 : item->captions.back().position + 1;
  Caption& added = item->captions.emplace_back(caption);
  added.position = position;
}

}  // namespace lumafolio
