#pragma once

#include <memory>

#include "core/film/FilmStorage.h"
#ifdef _WIN32
#include "player/film/OleFilmStorage.h"
#else
#include "tools/filmfile/GsfFilmStorage.h"
#endif

namespace lumafolio::test {

// The reader's tests run unchanged against the storage each platform reads films with.
inline std::unique_ptr<FilmStorage> MakePlatformFilmStorage() {
#ifdef _WIN32
  return std::make_unique<OleFilmStorage>();
#else
  return std::make_unique<GsfFilmStorage>();
#endif
}

}  // namespace lumafolio::test
