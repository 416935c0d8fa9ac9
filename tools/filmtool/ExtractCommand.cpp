#include "tools/filmtool/ExtractCommand.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <vector>

#include "core/payload/SafeMediaName.h"
#include "core/payload/StdioFile.h"
#include "tools/filmtool/CopyRange.h"
#include "tools/filmtool/Cp1252.h"
#include "tools/filmtool/FilmSource.h"
#include "tools/filmtool/Printable.h"

namespace lumafolio {
namespace {

namespace fs = std::filesystem;

// The longest name element Linux file systems take (NAME_MAX), in bytes of UTF-8.
constexpr size_t kMaxElementBytes = 255;
constexpr const char* kFilmFileName = "Film.flm";

struct Target {
  const MediaEntry* entry = nullptr;
  fs::path relative;
  const MediaEntry* sameAs = nullptr;  // an earlier entry that writes this very file
};

std::string Describe(const MediaEntry& entry) {
  return "\"" + Cp1252ToUtf8(entry.name) + "\" (item " + std::to_string(entry.item) + ", " +
         MediaFieldName(entry.field) + ")";
}

[[noreturn]] void Refuse(const std::string& why) {
  throw std::runtime_error(why + "; nothing was extracted");
}

// The film's name as path elements below the folder, in UTF-8: both separators count, as on
// Windows, and control characters become '_'.
std::vector<std::string> Elements(const std::string& name) {
  std::vector<std::string> elements;
  for (size_t start = 0;;) {
    const size_t end = name.find_first_of("\\/", start);
    std::string element = name.substr(start, end == std::string::npos ? end : end - start);
    if (!element.empty() && element != ".") {
      std::replace_if(element.begin(), element.end(), IsCp1252Control, '_');
      elements.push_back(Cp1252ToUtf8(element));
    }
    if (end == std::string::npos) return elements;
    start = end + 1;
  }
}

// Windows, where films are played, does not tell names apart by case.
std::string Folded(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

bool SameBytes(const std::string& path, int64_t first, int64_t second, int64_t size) {
  const StdioFile a = OpenStdioFile(path.c_str(), "rb");
  const StdioFile b = OpenStdioFile(path.c_str(), "rb");
  if (!a || !b || fseeko(a.get(), first, SEEK_SET) != 0 || fseeko(b.get(), second, SEEK_SET) != 0) {
    throw std::runtime_error("cannot read " + path + ": " + std::strerror(errno));
  }
  std::vector<char> x(1 << 16);
  std::vector<char> y(x.size());
  for (int64_t left = size; left > 0;) {
    const auto chunk = static_cast<size_t>(std::min<int64_t>(left, static_cast<int64_t>(x.size())));
    if (std::fread(x.data(), 1, chunk, a.get()) != chunk ||
        std::fread(y.data(), 1, chunk, b.get()) != chunk) {
      throw std::runtime_error(
          "cannot read " + path + ": " +
          (std::ferror(a.get()) || std::ferror(b.get()) ? std::strerror(errno) : "it ends early"));
    }
    if (!std::equal(x.begin(), x.begin() + static_cast<std::ptrdiff_t>(chunk), y.begin())) {
      return false;
    }
    left -= static_cast<int64_t>(chunk);
  }
  return true;
}

// Every payload file's place below the folder, after every check that can be made before
// writing: the film alone decides whether the extraction can succeed.
std::vector<Target> Plan(const OpenedFilm& opened, const std::string& folder) {
  std::vector<Target> targets;
  targets.reserve(opened.media.size());
  std::map<std::string, const MediaEntry*> files;    // folded path -> the entry that writes it
  std::map<std::string, const MediaEntry*> folders;  // folded path -> the first entry inside
  files.emplace(Folded(kFilmFileName), nullptr);
  for (const MediaEntry& entry : opened.media) {
    const std::vector<std::string> elements = Elements(entry.name);
    if (!IsSafeRelativeName(entry.name) || elements.empty()) {
      Refuse("refusing the media name " + Describe(entry) + ": it would be written outside " +
             folder);
    }
    if (!entry.FitsIn(opened.fileSize)) {
      Refuse("the media file " + Describe(entry) + " runs past the end of " + opened.path +
             " (offset " + std::to_string(entry.offset) + ", size " + std::to_string(entry.size) +
             ", file size " + std::to_string(opened.fileSize) + ")");
    }
    Target target{&entry, {}, nullptr};
    std::string key;
    for (size_t i = 0; i < elements.size(); ++i) {
      if (elements[i].size() > kMaxElementBytes) {
        Refuse("the media name " + Describe(entry) + " holds a name of " +
               std::to_string(elements[i].size()) + " bytes; file systems take at most " +
               std::to_string(kMaxElementBytes));
      }
      target.relative /= elements[i];
      key += Folded(elements[i]);
      if (i + 1 == elements.size()) break;
      if (const auto file = files.find(key); file != files.end()) {
        Refuse("the media name " + Describe(entry) + " needs a folder where " +
               (file->second ? "the media file " + Describe(*file->second) : "the film file") +
               " is written");
      }
      folders.emplace(key, &entry);
      key += '/';
    }
    if (const auto inside = folders.find(key); inside != folders.end()) {
      Refuse("the media name " + Describe(entry) + " is a file where the media file " +
             Describe(*inside->second) + " needs a folder");
    }
    if (const auto [file, added] = files.emplace(key, &entry); !added) {
      if (!file->second) Refuse("the media name " + Describe(entry) + " is the film file's");
      const MediaEntry& first = *file->second;
      if (!SameBytes(opened.path, first.offset, entry.offset, entry.size)) {
        Refuse("the media names " + Describe(first) + " and " + Describe(entry) +
               " name one file (Windows does not tell names apart by case), but their bytes "
               "differ");
      }
      target.sameAs = &first;
    }
    targets.push_back(std::move(target));
  }
  return targets;
}

// What is in the folder already must not turn a write into a failure or lead it elsewhere:
// a link would be followed out of the folder.
void CheckExisting(const fs::path& root, const fs::path& relative) {
  fs::path path = root;
  for (auto element = relative.begin(); element != relative.end(); ++element) {
    path /= *element;
    const bool last = std::next(element) == relative.end();
    std::error_code error;
    const fs::file_status status = fs::symlink_status(path, error);
    if (!fs::exists(status)) return;
    if (fs::is_symlink(status)) Refuse(path.string() + " is a symbolic link");
    if (!last && !fs::is_directory(status)) Refuse(path.string() + " is there, and not a folder");
    if (last && !fs::is_regular_file(status)) {
      Refuse(path.string() + " is there, and not a regular file");
    }
  }
}

}  // namespace

void ExtractFilm(const std::string& path, const std::string& folder, std::ostream& log,
                 std::ostream& err) {
  const OpenedFilm opened = OpenFilm(path);
  if (!opened.readOk) {
    Refuse(UnreadableFilmMessage(opened) + ", so where its media lie is unknown");
  }
  ReportComplaints(opened, err);
  const std::vector<Target> targets = Plan(opened, folder);
  const fs::path root(folder);
  CheckExisting(root, kFilmFileName);
  for (const Target& target : targets) CheckExisting(root, target.relative);

  std::error_code error;
  fs::create_directories(root, error);
  if (error) throw std::runtime_error("cannot create " + folder + ": " + error.message());
  const fs::path filmFile = root / kFilmFileName;
  if (opened.payload) {
    CopyRange(path, opened.payload->filmStart, opened.payload->FilmSize(), filmFile);
  } else {
    CopyRange(path, 0, opened.fileSize, filmFile);
  }
  log << Printable(filmFile.string()) << "\n";
  for (const Target& target : targets) {
    const fs::path file = root / target.relative;
    if (target.sameAs) {
      log << Printable(file.string()) << " (the same file as item " << target.sameAs->item << ", "
          << MediaFieldName(target.sameAs->field) << ")\n";
      continue;
    }
    fs::create_directories(file.parent_path(), error);
    if (error) {
      throw std::runtime_error("cannot create " + file.parent_path().string() + ": " +
                               error.message());
    }
    CopyRange(path, target.entry->offset, target.entry->size, file);
    log << Printable(file.string()) << "\n";
  }
}

}  // namespace lumafolio
