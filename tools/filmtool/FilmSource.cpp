#include "tools/filmtool/FilmSource.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "film/GsfFilmStorage.h"
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

void CopyRange(std::FILE* source, int64_t offset, int64_t size, const std::filesystem::path& to) {
  std::FILE* out = std::fopen(to.c_str(), "wb");
  if (!out) throw std::runtime_error("cannot write " + to.string() + ": " + std::strerror(errno));
  std::vector<char> buffer(1 << 16);
  bool ok = std::fseek(source, static_cast<long>(offset), SEEK_SET) == 0;
  for (int64_t left = size; ok && left > 0;) {
    const size_t chunk = static_cast<size_t>(std::min<int64_t>(left, buffer.size()));
    ok = std::fread(buffer.data(), 1, chunk, source) == chunk &&
         std::fwrite(buffer.data(), 1, chunk, out) == chunk;
    left -= static_cast<int64_t>(chunk);
  }
  ok = std::fclose(out) == 0 && ok;
  if (!ok) throw std::runtime_error("cannot copy the film to " + to.string());
}

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
  CopyRange(file.get(), opened.payload->filmStart, opened.payload->FilmSize(), filmPath);
  opened.readOk = opened.film->ReadFilm(filmPath.string(), storage);
  opened.media = LayoutMedia(*opened.film, opened.payload->mediaStart);
  return opened;
}

}  // namespace lumafolio
