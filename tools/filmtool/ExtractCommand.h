#pragma once

#include <ostream>
#include <string>

namespace lumafolio {

// Writes the film file of a player program (as "Film.flm") and every payload file, under its
// name in the film, into `folder`. A bare film file yields "Film.flm" alone. Names that would
// lead out of the folder and payload files that run past the end of the program are refused
// before anything is written. Throws std::runtime_error.
void ExtractFilm(const std::string& path, const std::string& folder, std::ostream& log);

}  // namespace lumafolio
