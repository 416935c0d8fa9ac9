#include "tools/filmtool/ExtractCommand.h"

#include <unistd.h>

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
#include "tools/filmtool/Description.h"
#include "tools/filmtool/DescriptionWriter.h"
#include "tools/filmtool/FilmSource.h"
#include "tools/filmtool/JpegRewrite.h"
#include "tools/filmtool/Printable.h"
#include "tools/filmtool/TempFiles.h"

namespace lumafolio {
namespace {

namespace fs = std::filesystem;

// The longest name element Linux file systems take (NAME_MAX), in bytes of UTF-8.
constexpr size_t kMaxElementBytes = 255;
constexpr const char* kFilmFileName = "Film.flm";
// The description that builds the film again, beside the files it names.
constexpr const char* kDescriptionName = "film.toml";

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
  files.emplace(Folded(kDescriptionName), nullptr);
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
               (file->second ? "the media file " + Describe(*file->second)
                             : "the film file or the description") +
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
      if (!file->second) {
        Refuse("the media name " + Describe(entry) + " is the name of the film file or of " +
               kDescriptionName);
      }
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

// The folder must take the files before the film is read: an existing folder we may write in,
// or one we may create below its nearest existing parent.
void CheckFolder(const std::string& folder) {
  fs::path path = fs::absolute(folder).lexically_normal();
  while (true) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (fs::exists(status)) {
      if (!fs::is_directory(status)) {
        Refuse(path == fs::absolute(folder).lexically_normal()
                   ? folder + " is there, and not a folder"
                   : "cannot create " + folder + ": " + path.string() + " is not a folder");
      }
      if (access(path.c_str(), W_OK | X_OK) != 0) {
        Refuse("cannot write into " + path.string() + ": " + std::strerror(errno));
      }
      return;
    }
    if (!path.has_relative_path()) return;
    path = path.parent_path();
  }
}

// What is in the folder already must not turn a write into a failure or lead it elsewhere:
// a link would be followed out of the folder. An existing file is overwritten only when asked.
void CheckExisting(const fs::path& root, const fs::path& relative, bool force) {
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
    if (last && !force) Refuse(path.string() + " exists; pass --force to overwrite it");
  }
}

// The description names each file where it was written; it is read back as `build` would read
// it, so that whatever a build would refuse or change is said now.
void WriteDescriptionFile(const FilmDocument& film, bool bare, const std::vector<Target>& targets,
                          const fs::path& file, std::ostream& err) {
  MediaPaths paths;
  for (const Target& target : targets) {
    const Target& written =
        target.sameAs ? *std::find_if(targets.begin(), targets.end(),
                                      [&](const Target& t) { return t.entry == target.sameAs; })
                      : target;
    paths[{target.entry->item, target.entry->field}] = written.relative.generic_string();
  }
  WrittenDescription description = DescribeFilm(film, bare ? nullptr : &paths);
  // A picture's size is not described: a build reads it from the picture, as it checks and
  // perhaps rewrites the picture. Say where that gives another film.
  for (const Target& target : targets) {
    const int32_t position = target.entry->item;
    if (target.sameAs || target.entry->field != MediaField::kMediaFile || position < 1 ||
        position > film.ItemCount()) {
      continue;
    }
    const FilmItem item = film.GetItem(position);
    if (item.itemType != kItemPicture) continue;
    const std::string where = "item " + std::to_string(position) + ": ";
    const fs::path picturePath = file.parent_path() / target.relative;
    try {
      const PlayerPicture picture =
          PreparePlayerPicture(ReadWholeFile(picturePath), target.relative.generic_string());
      if (picture.rewritten) {
        description.losses.push_back(where + "the progressive picture " +
                                     target.relative.generic_string() +
                                     ", which a build stores as its baseline rewrite");
      }
      if (picture.width != item.imageWidth || picture.height != item.imageHeight) {
        description.losses.push_back(where + "the picture size " + std::to_string(item.imageWidth) +
                                     "x" + std::to_string(item.imageHeight) +
                                     ", where the picture is " + std::to_string(picture.width) +
                                     "x" + std::to_string(picture.height));
      }
    } catch (const std::runtime_error& e) {
      description.losses.push_back(where + "a picture that a build refuses: " + e.what());
    }
  }
  StdioFile out = OpenStdioFile(file.c_str(), "wb");
  if (!out) throw std::runtime_error("cannot write " + file.string() + ": " + std::strerror(errno));
  const bool written = std::fwrite(description.text.data(), 1, description.text.size(),
                                   out.get()) == description.text.size();
  if (std::fclose(out.release()) != 0 || !written) {
    throw std::runtime_error("cannot write " + file.string() + ": " + std::strerror(errno));
  }
  for (const std::string& loss : description.losses) {
    err << "filmtool: " << Printable(file.string()) << " cannot say " << Printable(loss)
        << "; a film built from it differs there\n";
  }
  try {
    ParseDescription(description.text, file.string());
  } catch (const DescriptionError& e) {
    err << "filmtool: build will refuse " << Printable(file.string())
        << " as written: " << Printable(e.what()) << "\n";
  }
}

}  // namespace

void ExtractFilm(const std::string& path, const std::string& folder, std::ostream& log,
                 std::ostream& err, bool force) {
  CheckFolder(folder);
  const OpenedFilm opened = OpenFilm(path);
  if (!opened.readOk) {
    Refuse(UnreadableFilmMessage(opened) + ", so where its media lie is unknown");
  }
  ReportComplaints(opened, err);
  const std::vector<Target> targets = Plan(opened, folder);
  const fs::path root(folder);
  CheckExisting(root, kFilmFileName, force);
  CheckExisting(root, kDescriptionName, force);
  for (const Target& target : targets) {
    if (!target.sameAs) CheckExisting(root, target.relative, force);
  }

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
  // A bare film file holds no media: its description names them as the film does.
  WriteDescriptionFile(*opened.film, !opened.payload, targets, root / kDescriptionName, err);
  log << Printable((root / kDescriptionName).string()) << "\n";
}

}  // namespace lumafolio
