#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "core/film/FilmDocument.h"
#include "core/payload/MediaLayout.h"
#include "core/payload/PlayerPayload.h"

namespace lumafolio {

// A film opened for inspection or extraction: either a player program that carries one in its
// payload, or a bare film file.
struct OpenedFilm {
  std::string path;
  int64_t fileSize = 0;
  std::unique_ptr<FilmDocument> film = std::make_unique<FilmDocument>();
  bool readOk = false;
  std::optional<PayloadLocation> payload;  // only for a player program
  std::vector<MediaEntry> media;           // where its payload files lie (player program)
  std::string complaints;  // what the compound-file reader (libgsf) said about damage it met
};

// Reads the film the way the player does: a program's film bytes are copied to "Film.flm" in a
// fresh temporary folder and read from there. Throws std::runtime_error when the file is not a
// regular file, or neither a compound file nor a program with both payload markers.
OpenedFilm OpenFilm(const std::string& path);

// "the film in PATH could not be read completely", with what the compound-file reader said.
std::string UnreadableFilmMessage(const OpenedFilm& opened);

// A film that read completely may still have made the compound-file reader skip something
// (an element of an unknown kind, a broken chain it worked around): this says so on `err`.
void ReportComplaints(const OpenedFilm& opened, std::ostream& err);

}  // namespace lumafolio
