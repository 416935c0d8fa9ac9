#pragma once

#include <ostream>
#include <string>

namespace lumafolio {

struct BuildOptions {
  std::string description;
  std::string output;
  std::string player;
};

// Builds a player program from a film description. Reports what it did on `log`; throws
// std::runtime_error (DescriptionError for faults of the description, naming its file and line)
// and then leaves no output file.
void BuildFilm(const BuildOptions& options, std::ostream& log);

}  // namespace lumafolio
