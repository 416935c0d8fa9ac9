#pragma once

#include "core/film/FilmStorage.h"

namespace lumafolio {

// Film storage through libgsf, for the tools on Linux.
class GsfFilmStorage final : public FilmStorage {
 public:
  std::unique_ptr<StorageNode> OpenRoot(const std::string& path) override;
};

}  // namespace lumafolio
