#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace lumafolio {

// Gives each file of a film's payload the name the film records for it. The player finds a file
// by adding up the sizes that the names carry, so a name begins with the file's size in decimal;
// it extracts videos, PowerPoint shows and music under that name and hands them to Windows,
// which picks the program by extension, so the extension stays. After the size comes a
// readable hint of the original name. Names contain only letters, digits, '-' and '_' (plus the
// extension's dot) and differ from each other ignoring case, as Windows compares them, so that
// no two extracted files overwrite each other.
class MediaNamer {
 public:
  // E.g. 23725 bytes from "Photos/Harbour at dusk.JPG" -> "23725-Harbour_at_dusk.JPG".
  std::string Name(int64_t size, const std::string& sourcePath);

 private:
  std::unordered_set<std::string> used_;           // upper-cased
  std::unordered_map<std::string, int> nextCopy_;  // upper-cased name -> its next copy number
};

}  // namespace lumafolio
