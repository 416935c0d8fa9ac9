#include "tools/filmtool/DecodeCommand.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "core/payload/StdioFile.h"
#include "tools/filmtool/FilmJson.h"
#include "tools/filmtool/FilmSource.h"
#include "tools/filmtool/PngFile.h"
#include "tools/filmtool/TempFiles.h"
#include "tools/filmtool/TransitionCommand.h"

namespace lumafolio {
namespace {

constexpr int kStageWidth = 800;
constexpr int kStageHeight = 600;
constexpr uint32_t kBmpHeaderSize = 54;

// The picture a film item shows: a picture item's own, a video item's poster.
std::vector<uint8_t> ItemPicture(const std::string& path, int32_t position, std::string& name) {
  const OpenedFilm opened = OpenFilm(path);
  if (!opened.readOk) throw std::runtime_error(UnreadableFilmMessage(opened));
  if (!opened.payload) {
    throw std::runtime_error(path +
                             " is a bare film file, which holds no pictures: give the player "
                             "program");
  }
  const int32_t count = opened.film->ItemCount();
  if (position < 1 || position > count) {
    throw std::runtime_error("there is no item " + std::to_string(position) + ": the film has " +
                             std::to_string(count) + " item" + (count == 1 ? "" : "s"));
  }
  const FilmItem item = opened.film->GetItem(position);
  const MediaField field =
      item.itemType == kItemVideo ? MediaField::kPosterImage : MediaField::kMediaFile;
  const auto entry = std::find_if(opened.media.begin(), opened.media.end(), [&](const auto& e) {
    return e.item == position && e.field == field;
  });
  const char* type = ItemTypeName(item.itemType);
  if (item.itemType == kItemPowerPoint || !type || entry == opened.media.end()) {
    throw std::runtime_error("item " + std::to_string(position) + (type ? " (" : "") +
                             (type ? type : "") + (type ? ")" : "") +
                             " has no picture in the program");
  }
  if (!entry->FitsIn(opened.fileSize)) {
    throw std::runtime_error("the picture of item " + std::to_string(position) +
                             " runs past the end of " + path);
  }
  name = path + ", item " + std::to_string(position);
  return ReadRange(path, entry->offset, entry->size);
}

bool EndsWithPng(const std::string& path) {
  if (path.size() < 4) return false;
  std::string extension = path.substr(path.size() - 4);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension == ".png";
}

void WriteBmp(const std::string& path, const std::vector<uint8_t>& file) {
  StdioFile out = OpenStdioFile(path.c_str(), "wb");
  if (!out) throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
  const bool written = std::fwrite(file.data(), 1, file.size(), out.get()) == file.size();
  const int error = errno;
  if (std::fclose(out.release()) != 0 || !written) {
    throw std::runtime_error("cannot write " + path + ": " +
                             std::strerror(written ? errno : error));
  }
}

// A 24-bit bottom-up BMP file around rows padded to four bytes.
void WriteBmp(const std::string& path, int width, int height, const std::vector<uint8_t>& rows) {
  std::vector<uint8_t> file(kBmpHeaderSize, 0);
  const auto put = [&file](size_t at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
      file[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
    }
  };
  file[0] = 'B';
  file[1] = 'M';
  put(2, kBmpHeaderSize + static_cast<uint32_t>(rows.size()), 4);
  put(10, kBmpHeaderSize, 4);
  put(14, 40, 4);
  put(18, static_cast<uint32_t>(width), 4);
  put(22, static_cast<uint32_t>(height), 4);
  put(26, 1, 2);
  put(28, 24, 2);
  put(34, static_cast<uint32_t>(rows.size()), 4);
  // Grown, then filled: GCC 12 at -O2 takes a range insert onto the 54-byte header for a write
  // out of bounds.
  file.resize(kBmpHeaderSize + rows.size());
  std::copy(rows.begin(), rows.end(), file.begin() + kBmpHeaderSize);
  WriteBmp(path, file);
}

}  // namespace

void DecodePicture(const DecodeOptions& options, std::ostream& log) {
  if (options.offset < 0) throw std::runtime_error("the offset must not be negative");
  if (options.item != 0 && options.offset != 0) {
    throw std::runtime_error("give --item or --offset, not both");
  }
  std::string name = options.input;
  std::vector<uint8_t> bytes;
  if (options.item != 0) {
    bytes = ItemPicture(options.input, options.item, name);
  } else {
    bytes = ReadRange(options.input, options.offset, -1);
    if (options.offset != 0) name += " at offset " + std::to_string(options.offset);
  }
  const BgrPicture picture = DecodePlayerPicture(std::move(bytes), name);
  int width = picture.width;
  int height = picture.height;
  std::vector<uint8_t> rows = picture.bytes;
  if (options.fitted) {
    rows = FitToStage(picture, kStageWidth, kStageHeight);
    width = kStageWidth;
    height = kStageHeight;
  }
  if (EndsWithPng(options.output)) {
    WritePng(options.output, StageToRgb(rows.data(), width, height));
  } else if (!options.fitted && !picture.dib.empty()) {
    WriteBmp(options.output, picture.dib);  // byte for byte the bitmap the player makes
  } else {
    WriteBmp(options.output, width, height, rows);
  }
  log << options.output << ": " << width << " x " << height
      << (picture.rewritten ? ", decoded from its baseline rewrite (it is progressive)" : "")
      << (options.fitted ? ", the picture fitted to the stage" : "") << "\n";
}

}  // namespace lumafolio
