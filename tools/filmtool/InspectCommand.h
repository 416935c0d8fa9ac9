#pragma once

#include <ostream>
#include <string>

namespace lumafolio {

// Prints a player program's or film file's film: a readable listing, or with `json` the
// machine form of FilmJson.h, plus a "payload" object for a player program. Returns false, after
// printing what was read, when the film could not be read completely; throws std::runtime_error
// when the file is no film at all.
bool InspectFilm(const std::string& path, bool json, std::ostream& out);

}  // namespace lumafolio
