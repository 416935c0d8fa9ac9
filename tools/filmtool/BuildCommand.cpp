#include "tools/filmtool/BuildCommand.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "core/film/CompoundTree.h"
#include "core/film/FilmDocument.h"
#include "core/film/FilmRecords.h"
#include "core/film/FilmTree.h"
#include "core/payload/PlayerPayload.h"
#include "tools/filmtool/AviFrameSize.h"
#include "tools/filmtool/Description.h"
#include "tools/filmtool/JpegRewrite.h"
#include "tools/filmtool/MediaNames.h"
#include "tools/filmtool/PayloadWriter.h"
#include "tools/filmtool/TempFiles.h"

namespace lumafolio {
namespace {

class FilmBuilder {
 public:
  FilmBuilder(const FilmDescription& description, const PictureOptions& options, std::ostream& log)
      : description_(description), options_(options), log_(log) {}

  // Gathers every payload file in the player's order (poster, media file, end picture, music)
  // and fills the film with the names that carry their sizes.
  void Gather(FilmDocument& film) {
    film.SetLoopFlag(description_.loop ? 1 : 0);
    film.SetPlayMode(description_.playMode);
    film.SetStage(description_.stage);
    for (const DescribedItem& described : description_.items) {
      FilmItem item;
      item.itemType = described.type;
      item.durationSeconds = described.durationSeconds;
      item.transitionEffect = described.transitionEffect;
      item.transitionSteps = described.transitionSteps;
      item.musicMode = described.musicMode;
      item.musicFile = "0";  // what films hold when an item has no music
      if (described.poster) {
        const PlayerPicture poster = Picture(*described.poster);
        item.posterImage = Add(Stored(*described.poster, poster), poster.bytes, kPathFieldWidth);
        item.imageWidth = poster.width;
        item.imageHeight = poster.height;
      }
      if (described.type == kItemPicture) {
        const PlayerPicture picture = Picture(described.file);
        item.mediaFile = Add(Stored(described.file, picture), picture.bytes, kMediaFileWidth);
        item.imageWidth = picture.width;
        item.imageHeight = picture.height;
      } else {
        item.mediaFile = Add(described.file, {}, kMediaFileWidth);
      }
      if (described.type == kItemVideo) VideoSize(described, item);
      if (described.endPicture) {
        const PlayerPicture end = Picture(*described.endPicture);
        item.endPicture = Add(Stored(*described.endPicture, end), end.bytes, kPathFieldWidth);
      }
      if (described.music) item.musicFile = Add(*described.music, {}, kPathFieldWidth);
      if (described.musicMode == kMusicCdTrack) item.musicFile = described.cdTrack;
      const int32_t position = film.AddItem(item);
      for (const DescribedCaption& caption : described.captions) {
        film.AddCaption(position, caption.caption);
      }
    }
  }

  const std::vector<PayloadFile>& media() const { return media_; }
  const ShrinkTally& shrinkTally() const { return shrinkTally_; }

 private:
  [[noreturn]] void Fail(int line, const std::string& message) const {
    // A folder's film has no lines to point at; its messages name the picture.
    if (line == 0) throw std::runtime_error(message);
    throw DescriptionError(DescriptionMessage(description_.path, line, message));
  }

  void CheckRegularFile(const DescribedFile& file) const {
    std::error_code error;
    if (!std::filesystem::is_regular_file(file.path, error)) {
      Fail(file.line,
           "cannot read " + file.written + ": " +
               (std::filesystem::exists(file.path, error) ? "not a regular file" : "no such file"));
    }
  }

  PlayerPicture Picture(const DescribedFile& file) {
    CheckRegularFile(file);
    std::vector<uint8_t> bytes;
    try {
      bytes = ReadWholeFile(file.path);
    } catch (const std::runtime_error& e) {
      Fail(file.line, e.what());
    }
    try {
      return PreparePhoto(std::move(bytes), file.written, options_, log_, shrinkTally_);
    } catch (const std::runtime_error& e) {
      Fail(file.line, e.what());
    }
  }

  // A picture converted to JPEG from another format is named as a JPEG in the film, so that
  // `extract` writes it under a name that says what it holds.
  static DescribedFile Stored(const DescribedFile& file, const PlayerPicture& picture) {
    std::filesystem::path written(file.written);
    std::string extension = written.extension().string();
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (!picture.converted || extension == ".jpg" || extension == ".jpeg") return file;
    DescribedFile stored = file;
    stored.written = written.replace_extension(".jpg").string();
    return stored;
  }

  // The player fits a video to the stage as a picture of this size: as given, else the frame
  // size the video declares, else its poster's (which is usually one of its frames).
  void VideoSize(const DescribedItem& described, FilmItem& item) const {
    if (described.imageWidth > 0) {
      item.imageWidth = described.imageWidth;
      item.imageHeight = described.imageHeight;
    } else if (const std::optional<FrameSize> frame = ReadAviFrameSize(described.file.path)) {
      item.imageWidth = frame->width;
      item.imageHeight = frame->height;
    } else {
      log_ << described.file.written << ": no frame size found (not an AVI file); fitted as its "
           << "poster, " << item.imageWidth << "x" << item.imageHeight
           << " (image_width and image_height set it)\n";
    }
  }

  // Adds a payload file and returns its name in the film. Pictures come as checked bytes;
  // other files are copied from disk when the program is written.
  std::string Add(const DescribedFile& file, std::vector<uint8_t> bytes, size_t fieldWidth) {
    PayloadFile payload;
    if (bytes.empty()) {
      CheckRegularFile(file);
      std::error_code error;
      payload.path = file.path;
      payload.size = static_cast<int64_t>(std::filesystem::file_size(file.path, error));
      if (error) Fail(file.line, "cannot read " + file.written + ": " + error.message());
    } else {
      payload.size = static_cast<int64_t>(bytes.size());
      payload.bytes = std::move(bytes);
    }
    // A file of size 0 would carry size 0 in its name, which means "no file" to the player.
    if (payload.size == 0) Fail(file.line, file.written + " is empty");
    payload.name = namer_.Name(payload.size, file.written);
    if (payload.name.size() >= fieldWidth) {
      Fail(file.line, "the film's name for " + file.written + " is too long");
    }
    // The name keeps a hint of the file's own name, which may be the marker text.
    if (HoldsMediaMarker(payload.name)) {
      Fail(file.line, MediaMarkerMessage("the film's name for " + file.written + ", \"" +
                                         payload.name + "\",") +
                          "; rename the file");
    }
    media_.push_back(std::move(payload));
    return media_.back().name;
  }

  const FilmDescription& description_;
  const PictureOptions& options_;
  std::ostream& log_;
  ShrinkTally shrinkTally_;
  MediaNamer namer_;
  std::vector<PayloadFile> media_;
};

std::vector<uint8_t> FilmFileBytes(const FilmDocument& film) {
  TempDirectory temporary;
  const std::filesystem::path path = temporary.path() / "Film.flm";
  std::string error;
  if (!WriteCompoundFile(MakeFilmTree(film), path.string(), error)) {
    throw std::runtime_error("cannot write the film file: " + error);
  }
  return ReadWholeFile(path);
}

std::string Megabytes(int64_t bytes) {
  char text[32];
  if (bytes < 1000000) {
    std::snprintf(text, sizeof text, "%.1f KB", static_cast<double>(bytes) / 1e3);
  } else {
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
  }
  return text;
}

}  // namespace

FilmDescription ReadAnyDescription(const std::string& path, const FolderOptions& folder) {
  std::error_code error;
  return std::filesystem::is_directory(path, error) ? DescribeFolder(path, folder)
                                                    : ReadDescription(path);
}

GatheredFilm GatherFilm(const FilmDescription& description, const PictureOptions& pictures,
                        std::ostream& log) {
  GatheredFilm gathered;
  FilmBuilder builder(description, pictures, log);
  builder.Gather(*gathered.film);
  gathered.media = builder.media();
  gathered.shrinkTally = builder.shrinkTally();
  return gathered;
}

void BuildFilm(const BuildOptions& options, std::ostream& log) {
  std::error_code error;
  const FilmDescription description = ReadAnyDescription(options.description, options.folder);
  if (options.player.empty()) {
    throw std::runtime_error("no player program given: pass --player PLAYER.exe");
  }
  const std::vector<uint8_t> player = ReadWholeFile(options.player);
  // What can be checked in a moment is checked before the pictures are gathered, which may take
  // minutes for a folder of large photos.
  CheckPlayerProgram(player, options.player);
  const std::filesystem::path outputFolder =
      std::filesystem::absolute(options.output, error).parent_path();
  if (!std::filesystem::is_directory(outputFolder, error)) {
    throw std::runtime_error("cannot write " + options.output + ": the folder " +
                             outputFolder.string() + " does not exist");
  }

  const GatheredFilm gathered = GatherFilm(description, options.pictures, log);
  const FilmDocument& film = *gathered.film;
  const std::vector<uint8_t> filmBytes = FilmFileBytes(film);
  WritePlayerProgram(options.output, player, options.player, filmBytes, gathered.media);

  int64_t mediaBytes = 0;
  for (const PayloadFile& file : gathered.media) mediaBytes += file.size;
  log << "wrote " << options.output << ": " << film.ItemCount() << " item"
      << (film.ItemCount() == 1 ? "" : "s") << ", film file " << filmBytes.size() << " bytes, "
      << gathered.media.size() << " media file" << (gathered.media.size() == 1 ? "" : "s") << " of "
      << mediaBytes << " bytes\n";
  if (const ShrinkTally& tally = gathered.shrinkTally; tally.pictures > 0) {
    log << "shrank " << tally.pictures << " picture" << (tally.pictures == 1 ? "" : "s") << ": "
        << Megabytes(tally.bytesBefore) << " -> " << Megabytes(tally.bytesAfter) << "\n";
  }
}

}  // namespace lumafolio
