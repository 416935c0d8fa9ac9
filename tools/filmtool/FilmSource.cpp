#include "tools/filmtool/FilmSource.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "tools/filmfile/GsfFilmStorage.h"
#include "tools/filmtool/CopyRange.h"
#include "tools/filmtool/TempFiles.h"

namespace lumafolio {
namespace {

constexpr std::array<uint8_t, 8> kCompoundFileSignature = {0xD0, 0xCF, 0x11, 0xE0,
                                                           0xA1, 0xB1, 0x1A, 0xE1};

class File {
 public:
  explicit File(const std::string& path) : file_(std::fopen(path.c_str(), "rb")) {
    if (!file_) throw std::runtime_error("cannot read " + path + ": " + std::strerror(errno));
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File() { std::fclose(file_); }
  std::FILE* get() const { return file_; }

 private:
  std::FILE* file_;
};

}  // namespace

OpenedFilm OpenFilm(const std::string& path) {
  OpenedFilm opened;
  opened.path = path;
  GsfFilmStorage storage;
  File file(path);
  std::fseek(file.get(), 0, SEEK_END);
  opened.fileSize = std::ftell(file.get());
  std::rewind(file.get());

  std::array<uint8_t, 8> head{};
  const size_t headSize = std::fread(head.data(), 1, head.size(), file.get());
  std::rewind(file.get());
  if (headSize == head.size() && head == kCompoundFileSignature) {
    opened.readOk = opened.film->ReadFilm(path, storage);
    return opened;
  }

  opened.payload = LocatePayload(file.get());
  if (!opened.payload) {
    throw std::runtime_error(path +
                             " is neither a film file nor a player program carrying a film "
                             "(its payload markers are missing or out of order)");
  }
  TempDirectory temporary;
  const std::filesystem::path filmPath = temporary.path() / "Film.flm";
  CopyRange(path, opened.payload->filmStart, opened.payload->FilmSize(), filmPath);
  opened.readOk = opened.film->ReadFilm(filmPath.string(), storage);
  opened.media = LayoutMedia(*opened.film, opened.payload->mediaStart);
  return opened;
}

}  // namespace lumafolio
