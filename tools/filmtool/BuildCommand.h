#pragma once

#include <ostream>
#include <string>

#include "tools/filmtool/PhotoFolder.h"
#include "tools/filmtool/PictureConvert.h"

namespace lumafolio {

struct BuildOptions {
  std::string description;  // a description file, or a folder of photos
  std::string output;
  std::string player;
  PictureOptions pictures{};
  FolderOptions folder{};  // for a folder of photos
};

// Builds a player program from a film description, or from every picture in a folder. Reports what
// it did on `log`; throws std::runtime_error (DescriptionError for faults of the description,
// naming its file and line) and then leaves no output file.
void BuildFilm(const BuildOptions& options, std::ostream& log);

}  // namespace lumafolio
