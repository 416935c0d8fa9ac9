#include "tools/filmtool/ExtractCommand.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "core/payload/SafeMediaName.h"
#include "tools/filmtool/CopyRange.h"
#include "tools/filmtool/Cp1252.h"
#include "tools/filmtool/FilmSource.h"

namespace lumafolio {
namespace {

namespace fs = std::filesystem;

// The film's name as a path below the folder: both separators count, as on Windows.
fs::path RelativePath(const std::string& name) {
  fs::path path;
  size_t start = 0;
  for (;;) {
    const size_t end = name.find_first_of("\\/", start);
    const std::string element = name.substr(start, end == std::string::npos ? end : end - start);
    if (!element.empty() && element != ".") path /= element;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return path;
}

}  // namespace

void ExtractFilm(const std::string& path, const std::string& folder, std::ostream& log) {
  const OpenedFilm opened = OpenFilm(path);
  if (!opened.readOk) {
    throw std::runtime_error("the film in " + path +
                             " cannot be read completely, so where its media lie is unknown; "
                             "nothing was extracted");
  }
  // Check everything before writing anything.
  for (const MediaEntry& entry : opened.media) {
    const std::string shown = "\"" + Cp1252ToUtf8(entry.name) + "\" (item " +
                              std::to_string(entry.item) + ", " + MediaFieldName(entry.field) + ")";
    if (!IsSafeRelativeName(entry.name) || RelativePath(entry.name).empty()) {
      throw std::runtime_error("refusing the media name " + shown +
                               ": it would be written outside " + folder +
                               "; nothing was extracted");
    }
    if (entry.offset + entry.size > opened.fileSize) {
      throw std::runtime_error("the media file " + shown + " runs past the end of " + path +
                               " (offset " + std::to_string(entry.offset) + ", size " +
                               std::to_string(entry.size) + ", file size " +
                               std::to_string(opened.fileSize) + "); nothing was extracted");
    }
  }

  std::error_code error;
  fs::create_directories(folder, error);
  if (error) throw std::runtime_error("cannot create " + folder + ": " + error.message());
  const fs::path root(folder);
  if (opened.payload) {
    CopyRange(path, opened.payload->filmStart, opened.payload->FilmSize(), root / "Film.flm");
  } else {
    fs::copy_file(path, root / "Film.flm", fs::copy_options::overwrite_existing, error);
    if (error) throw std::runtime_error("cannot write Film.flm: " + error.message());
  }
  log << (root / "Film.flm").string() << "\n";
  for (const MediaEntry& entry : opened.media) {
    const fs::path target = root / RelativePath(Cp1252ToUtf8(entry.name));
    fs::create_directories(target.parent_path(), error);
    if (error) {
      throw std::runtime_error("cannot create " + target.parent_path().string() + ": " +
                               error.message());
    }
    CopyRange(path, entry.offset, entry.size, target);
    log << target.string() << "\n";
  }
}

}  // namespace lumafolio
