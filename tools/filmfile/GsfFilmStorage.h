#pragma once

#include <string>

#include "core/film/FilmStorage.h"
#include "tools/filmfile/GsfMessages.h"

namespace lumafolio {

// Film storage through libgsf, for the tools on Linux. While it lives, libgsf's complaints about
// a damaged file are kept (see GsfMessages) instead of reaching the terminal.
class GsfFilmStorage final : public FilmStorage {
 public:
  std::unique_ptr<StorageNode> OpenRoot(const std::string& path) override;

  // What libgsf said about the files read so far, in one line; empty when it said nothing.
  std::string Complaints() const { return messages_.Summary(); }

 private:
  GsfMessages messages_;
};

}  // namespace lumafolio
