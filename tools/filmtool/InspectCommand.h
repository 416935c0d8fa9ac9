#pragma once

#include <ostream>
#include <string>

namespace lumafolio {

// Prints a player program's or film file's film: a readable listing, or with `json` the
// machine form of FilmJson.h, plus a "payload" object for a player program. Throws
// std::runtime_error when the file is no film at all, and, after printing what was read, when
// the film could not be read completely. The listing shows every text of the film with its
// control characters escaped (Printable.h); the JSON escapes them as JSON does.
// What the compound-file reader said about a film that read completely goes to `err`.
void InspectFilm(const std::string& path, bool json, std::ostream& out, std::ostream& err);

}  // namespace lumafolio
