#include "tools/filmtool/FilmSource.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "core/payload/StdioFile.h"
#include "tools/filmfile/GsfFilmStorage.h"
#include "tools/filmtool/CopyRange.h"
#include "tools/filmtool/Printable.h"
#include "tools/filmtool/TempFiles.h"

namespace lumafolio {
namespace {

constexpr std::array<uint8_t, 8> kCompoundFileSignature = {0xD0, 0xCF, 0x11, 0xE0,
                                                           0xA1, 0xB1, 0x1A, 0xE1};

}  // namespace

OpenedFilm OpenFilm(const std::string& path) {
  OpenedFilm opened;
  opened.path = path;
  CheckRegularFile(path);
  const StdioFile file = OpenStdioFile(path.c_str(), "rb");
  if (!file) throw std::runtime_error("cannot read " + path + ": " + std::strerror(errno));
  std::fseek(file.get(), 0, SEEK_END);
  opened.fileSize = std::ftell(file.get());
  std::rewind(file.get());
  GsfFilmStorage storage;

  std::array<uint8_t, 8> head{};
  const size_t headSize = std::fread(head.data(), 1, head.size(), file.get());
  std::rewind(file.get());
  if (headSize == head.size() && head == kCompoundFileSignature) {
    opened.readOk = opened.film->ReadFilm(path, storage);
    opened.complaints = storage.Complaints();
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
  opened.complaints = storage.Complaints();
  opened.media = LayoutMedia(*opened.film, opened.payload->mediaStart);
  return opened;
}

std::string UnreadableFilmMessage(const OpenedFilm& opened) {
  std::string message = "the film in " + opened.path + " could not be read completely";
  if (!opened.complaints.empty()) {
    message += " (the compound-file reader says: " + opened.complaints + ")";
  }
  return message;
}

void ReportComplaints(const OpenedFilm& opened, std::ostream& err) {
  if (!opened.readOk || opened.complaints.empty()) return;
  err << "filmtool: note: the compound-file reader met damage in the film in "
      << Printable(opened.path) << ": " << Printable(opened.complaints) << "\n";
}

}  // namespace lumafolio
