#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "core/film/FilmDocument.h"
#include "tools/filmtool/Description.h"
#include "tools/filmtool/PayloadWriter.h"

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

// A description file, or a folder of photos described as `build` describes it.
FilmDescription ReadAnyDescription(const std::string& path, const FolderOptions& folder);

// The film a description describes and its payload files in the player's order, exactly as
// `build` would store them (pictures checked, rewritten or converted).
struct GatheredFilm {
  std::unique_ptr<FilmDocument> film = std::make_unique<FilmDocument>();
  std::vector<PayloadFile> media;
  ShrinkTally shrinkTally;
};
GatheredFilm GatherFilm(const FilmDescription& description, const PictureOptions& pictures,
                        std::ostream& log);

// Builds a player program from a film description, or from every picture in a folder. Reports what
// it did on `log`; throws std::runtime_error (DescriptionError for faults of the description,
// naming its file and line) and then leaves no output file.
void BuildFilm(const BuildOptions& options, std::ostream& log);

}  // namespace lumafolio
