// libFuzzer target for the film reader as the tools run it: the input is a film file, read through
// libgsf (GsfFilmStorage), so libgsf is fuzzed as we use it too. A damaged file must be read or
// refused without a memory fault or a leak, and libgsf's complaints about it are kept as one line.
#include <cstdint>
#include <string>

#include "core/film/FilmDocument.h"
#include "fuzz/TempPath.h"
#include "tools/filmfile/GsfFilmStorage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const lumafolio::fuzz::TempFile file("film-gsf");
  if (!file.Write(data, size)) return 0;
  lumafolio::GsfFilmStorage storage;
  lumafolio::FilmDocument film;
  film.ReadFilm(file.path(), storage);
  const std::string complaints = storage.Complaints();
  if (complaints.find('\n') != std::string::npos) __builtin_trap();
  return 0;
}
