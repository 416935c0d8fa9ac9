#pragma once

#include <ostream>
#include <string>

namespace lumafolio {

// Writes the film file of a player program (as "Film.flm") and every payload file, under its
// name in the film, into `folder`. A bare film file yields "Film.flm" alone. Everything that
// would make the extraction fail half-way or write elsewhere is refused before anything is
// written: names that lead out of the folder, name elements too long for the file system, two
// names for one file with different bytes (names compare as Windows compares them, ignoring
// case), a name that is a file where another needs a folder, payload files that run past the end
// of the program, and existing entries in the folder that are links or of the wrong kind.
// Control characters in names become '_' on disk. Two names for one file with the same bytes
// give one file. Every file written is listed on `log`; what the compound-file reader said about
// a film that read completely goes to `err`. Existing files are overwritten only with `force`.
// Beside them goes "film.toml", a description that `filmtool build` turns into the same film;
// what it cannot say as the film holds it is reported on `err` (a bare film file's description
// names the media as the film does, for files put beside it). Throws std::runtime_error.
void ExtractFilm(const std::string& path, const std::string& folder, std::ostream& log,
                 std::ostream& err, bool force = false);

}  // namespace lumafolio
