#pragma once

#include "core/film/FilmStorage.h"

namespace lumafolio {

// Film storage through ole32's structured storage, as the player reads its film.
class OleFilmStorage final : public FilmStorage {
 public:
  // `path` is UTF-8, as every path of the player.
  std::unique_ptr<StorageNode> OpenRoot(const std::string& path) override;
};

}  // namespace lumafolio
