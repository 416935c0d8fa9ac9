// Prints a film file as `filmtool inspect --json` prints a bare film, read through ole32 as the
// player reads it. Used to check that Windows reads the films our tools write exactly as they do.
#include <cstdio>

#include "core/film/FilmDocument.h"
#include "player/film/OleFilmStorage.h"
#include "tools/filmtool/FilmJson.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: film_dump FILM\n");
    return 2;
  }
  lumafolio::FilmDocument film;
  lumafolio::OleFilmStorage storage;
  const bool ok = film.ReadFilm(argv[1], storage);
  std::printf("%s\n", lumafolio::FilmToJson(film, ok).dump(2).c_str());
  return 0;
}
