#include "tools/filmtool/PhotoFolder.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <span>
#include <stdexcept>
#include <system_error>

#include "tools/filmtool/EffectNames.h"
#include "tools/filmtool/ExifOrientation.h"
#include "tools/filmtool/TempFiles.h"

namespace fs = std::filesystem;

namespace lumafolio {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool HasExtension(const fs::path& path, std::initializer_list<const char*> extensions) {
  std::string extension = path.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(), Lower);
  return std::any_of(extensions.begin(), extensions.end(),
                     [&](const char* e) { return extension == e; });
}

// The first bytes of a picture hold its Exif block (an APP1 segment is at most 64 KB).
std::vector<uint8_t> ReadHead(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> head(256 * 1024);
  in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<size_t>(std::max<std::streamsize>(in.gcount(), 0)));
  return head;
}

struct Photo {
  fs::path path;
  std::string name;
  std::string date;  // Exif DateTimeOriginal, sorts as text
  fs::file_time_type modified;
};

// A TOML basic string.
std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || byte == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04X", byte);
      out += escape;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

bool IsUtf8(const std::string& text) {
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const size_t length = lead < 0x80         ? 1
                          : (lead >> 5) == 6  ? 2
                          : (lead >> 4) == 14 ? 3
                          : (lead >> 3) == 30 ? 4
                                              : 0;
    if (length == 0 || text.size() - i < length) return false;
    for (size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += length;
  }
  return true;
}

}  // namespace

bool NaturalLess(const std::string& a, const std::string& b) {
  size_t i = 0;
  size_t j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      size_t endA = i;
      size_t endB = j;
      while (endA < a.size() && IsDigit(a[endA])) ++endA;
      while (endB < b.size() && IsDigit(b[endB])) ++endB;
      size_t startA = i;
      size_t startB = j;
      while (startA + 1 < endA && a[startA] == '0') ++startA;  // leading zeros
      while (startB + 1 < endB && b[startB] == '0') ++startB;
      const std::string_view numberA(a.data() + startA, endA - startA);
      const std::string_view numberB(b.data() + startB, endB - startB);
      if (numberA.size() != numberB.size()) return numberA.size() < numberB.size();
      if (numberA != numberB) return numberA < numberB;
      i = endA;
      j = endB;
      continue;
    }
    const char ca = Lower(a[i]);
    const char cb = Lower(b[j]);
    if (ca != cb) return static_cast<unsigned char>(ca) < static_cast<unsigned char>(cb);
    ++i;
    ++j;
  }
  if ((i < a.size()) != (j < b.size())) return i == a.size();
  return a < b;  // equal but for case or leading zeros: any fixed order
}

std::vector<fs::path> ListPhotos(const fs::path& folder, const FolderOptions& options) {
  std::vector<Photo> photos;
  std::error_code error;
  fs::directory_iterator it(folder, error);
  if (error) throw std::runtime_error("cannot read " + folder.string() + ": " + error.message());
  for (; it != fs::directory_iterator(); it.increment(error)) {
    if (error) throw std::runtime_error("cannot read " + folder.string() + ": " + error.message());
    const fs::path& path = it->path();
    const std::string name = path.filename().string();
    if (name.empty() || name[0] == '.') continue;
    const bool picture = HasExtension(path, {".jpg", ".jpeg", ".jpe", ".jfif"}) ||
                         (options.withPng && HasExtension(path, {".png"}));
    if (!picture || !fs::is_regular_file(path, error)) continue;
    Photo photo{path, name, {}, fs::last_write_time(path, error)};
    if (options.byDate) photo.date = ReadExif(ReadHead(path)).dateTimeOriginal;
    photos.push_back(std::move(photo));
  }
  if (photos.empty()) {
    throw std::runtime_error(folder.string() + " holds no pictures (.jpg or .jpeg files" +
                             (options.withPng ? std::string(", or .png") : std::string()) + ")");
  }
  std::sort(photos.begin(), photos.end(), [&](const Photo& a, const Photo& b) {
    if (options.byDate) {
      // Dated pictures first: a file's time is when it was copied as often as when it was
      // taken, and it is not in the camera's time zone, so the two do not interleave.
      if (a.date.empty() != b.date.empty()) return b.date.empty();
      if (a.date != b.date) return a.date < b.date;
      if (a.date.empty() && a.modified != b.modified) return a.modified < b.modified;
    }
    return NaturalLess(a.name, b.name);
  });
  std::vector<fs::path> paths;
  for (const Photo& photo : photos) paths.push_back(photo.path);
  return paths;
}

FilmDescription DescribeFolder(const std::string& folder, const FolderOptions& options) {
  FilmDescription film;
  film.path = folder;
  film.loop = true;
  film.playMode = kPlayTimed;
  film.stage = options.stage;
  for (const fs::path& path : ListPhotos(folder, options)) {
    DescribedItem item;
    item.type = kItemPicture;
    item.file.path = path.string();
    item.file.written = path.lexically_normal().string();
    item.durationSeconds = options.durationSeconds;
    item.transitionEffect = options.transitionEffect;
    item.transitionSteps = options.transitionSteps;
    film.items.push_back(std::move(item));
  }
  return film;
}

void WriteFolderDescription(const std::string& folder, const std::string& output,
                            const FolderOptions& options, bool overwrite, std::ostream& log) {
  std::error_code error;
  if (!overwrite && fs::exists(fs::symlink_status(output, error))) {
    throw std::runtime_error(output + " exists already; pass --force to overwrite it");
  }
  const std::vector<fs::path> photos = ListPhotos(folder, options);
  const fs::path base = fs::absolute(fs::path(output), error).parent_path();
  const char* transition = TransitionName(options.transitionEffect);
  // A comment ends at a line break, and the file must be UTF-8.
  std::string shown = IsUtf8(folder) ? folder : "a folder";
  for (char& c : shown) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  std::string text =
      "# Made by filmtool new from the pictures in " + shown +
      ", one [[item]] each in play order.\n"
      "# Edit freely, then: filmtool build THIS_FILE -o Show.exe\n"
      "# [film] holds what every item has unless it says otherwise.\n\n"
      "[film]\nloop = true\nplay_mode = \"timed\"\n" +
      (options.stage != FilmStage{} ? "stage = " + Quoted(FilmStageName(options.stage)) + "\n"
                                    : std::string()) +
      "duration = " + std::to_string(options.durationSeconds) + "\ntransition = " +
      (transition ? Quoted(transition) : std::to_string(options.transitionEffect)) +
      "\nsteps = " + std::to_string(options.transitionSteps) + "\n";
  for (const fs::path& photo : photos) {
    const std::string file =
        fs::proximate(fs::absolute(photo, error), base, error).generic_string();
    if (!IsUtf8(file)) {
      throw std::runtime_error("the name of " + photo.string() +
                               " is not UTF-8 text, which a description cannot hold; rename it");
    }
    text += "\n[[item]]\nfile = " + Quoted(file) + "\n";
  }
  PendingFile out(output);
  out.Write(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
  out.Commit(fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
             fs::perms::others_read);
  log << "wrote " << output << ": " << photos.size() << " picture"
      << (photos.size() == 1 ? "" : "s") << "\n";
}

}  // namespace lumafolio
