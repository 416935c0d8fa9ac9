#include "tools/filmtool/RenderCommand.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "core/jpeg/JpegDib.h"
#include "core/payload/MediaLayout.h"
#include "core/show/StageGeometry.h"
#include "tools/filmtool/BuildCommand.h"
#include "tools/filmtool/CopyRange.h"
#include "tools/filmtool/FilmSource.h"
#include "tools/filmtool/PngFile.h"
#include "tools/filmtool/Printable.h"
#include "tools/filmtool/TempFiles.h"
#include "tools/filmtool/TransitionCommand.h"
#include "tools/render/CaptionFonts.h"
#include "tools/render/ShowTimeline.h"
#include "tools/render/VideoFileSink.h"

namespace lumafolio {
namespace fs = std::filesystem;
namespace {

// One stored media file of the film: a range of a file on disk (a program's payload, a file
// beside a bare film) or bytes held in memory (a picture `build` checked or rewrote).
struct StoredFile {
  int item = 0;
  MediaField field = MediaField::kMediaFile;
  std::string name;  // the film's name for it
  fs::path path;
  std::int64_t offset = 0;
  std::int64_t size = 0;
  std::vector<std::uint8_t> bytes;
};

const char* FieldWords(MediaField field) {
  switch (field) {
    case MediaField::kPosterImage:
      return "poster";
    case MediaField::kEndPicture:
      return "end picture";
    case MediaField::kMusicFile:
      return "music";
    case MediaField::kMediaFile:
      break;
  }
  return "media file";
}

class StoredMedia final : public render::ShowMedia {
 public:
  StoredMedia(std::vector<StoredFile> files, std::ostream& warnings)
      : files_(std::move(files)), warnings_(warnings) {}

  std::optional<StagePicture> Picture(int position, MediaField field) override {
    const StoredFile* file = Find(position, field);
    if (file == nullptr) return std::nullopt;
    const std::vector<std::uint8_t> bytes = Bytes(*file);
    std::vector<std::uint8_t> dib;
    std::string reason;
    if (!DecodeJpegToDib(bytes, dib, &reason) || dib.size() < kDibHeaderSize) {
      warnings_ << "warning: the " << FieldWords(field) << " of item " << position << " ("
                << Printable(file->name) << ") does not decode (" << reason
                << "): black, as the player shows it\n";
      return std::nullopt;
    }
    const auto read32 = [&dib](std::size_t at) {
      return static_cast<std::int32_t>(dib[at] | dib[at + 1] << 8 | dib[at + 2] << 16 |
                                       static_cast<std::uint32_t>(dib[at + 3]) << 24);
    };
    StagePicture picture;
    picture.width = read32(18);
    picture.height = read32(22);
    const std::size_t rows = picture.Stride() * static_cast<std::size_t>(picture.height);
    picture.bits.assign(dib.begin() + kDibHeaderSize, dib.begin() + kDibHeaderSize + rows);
    return picture;
  }

  std::string File(int position, MediaField field) override {
    const StoredFile* file = Find(position, field);
    if (file == nullptr) return {};
    std::error_code error;
    if (file->bytes.empty() && file->offset == 0 &&
        static_cast<std::int64_t>(fs::file_size(file->path, error)) == file->size) {
      return file->path.string();
    }
    // FFmpeg and FluidSynth read files: a payload range is copied out once, under a name that
    // keeps its extension (which says what it holds).
    const auto key = static_cast<std::size_t>(file - files_.data());
    if (auto found = extracted_.find(key); found != extracted_.end()) return found->second;
    if (!temporary_) temporary_ = std::make_unique<TempDirectory>();
    const fs::path target =
        temporary_->path() / ("item" + std::to_string(position) + "-" + std::to_string(key) +
                              fs::path(file->name).extension().string());
    if (file->bytes.empty()) {
      CopyRange(file->path.string(), file->offset, file->size, target);
    } else {
      PendingFile pending(target);
      pending.Write(file->bytes);
      pending.Commit(fs::perms::owner_read | fs::perms::owner_write);
    }
    return extracted_[key] = target.string();
  }

  bool Has(int position, MediaField field) const override {
    return Find(position, field) != nullptr;
  }

 private:
  const StoredFile* Find(int position, MediaField field) const {
    const auto found = std::find_if(files_.begin(), files_.end(), [&](const StoredFile& f) {
      return f.item == position && f.field == field;
    });
    return found == files_.end() ? nullptr : &*found;
  }

  static std::vector<std::uint8_t> Bytes(const StoredFile& file) {
    return file.bytes.empty() ? ReadRange(file.path.string(), file.offset, file.size) : file.bytes;
  }

  std::vector<StoredFile> files_;
  std::ostream& warnings_;
  std::unique_ptr<TempDirectory> temporary_;
  std::map<std::size_t, std::string> extracted_;
};

// A film and its media, whichever form it came in.
struct RenderInput {
  std::unique_ptr<FilmDocument> film;
  std::vector<StoredFile> files;
};

bool IsDescriptionName(const std::string& path) {
  std::string extension = fs::path(path).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension == ".toml";
}

RenderInput OpenDescribed(const RenderOptions& options, std::ostream& err) {
  const FilmDescription description = ReadAnyDescription(options.input, FolderOptions{});
  std::ostringstream log;  // what build would say of conversions; warnings come from the render
  GatheredFilm gathered = GatherFilm(description, PictureOptions{}, log);
  if (!options.quiet && !log.str().empty()) err << log.str();
  RenderInput input;
  const std::vector<MediaEntry> entries = LayoutMedia(*gathered.film, 0);
  if (entries.size() != gathered.media.size()) {
    throw std::runtime_error("the media of " + options.input + " could not be laid out");
  }
  for (std::size_t i = 0; i < entries.size(); ++i) {
    PayloadFile& payload = gathered.media[i];
    StoredFile file{entries[i].item, entries[i].field,        payload.name, payload.path, 0,
                    payload.size,    std::move(payload.bytes)};
    input.files.push_back(std::move(file));
  }
  input.film = std::move(gathered.film);
  return input;
}

// A bare film's media lie in a folder under the names the film gives them (as `extract` writes
// them): the name as a path, else its last part.
fs::path FindBareMedia(const fs::path& folder, const MediaEntry& entry) {
  std::string relative = entry.name;
  std::replace(relative.begin(), relative.end(), '\\', '/');
  std::error_code error;
  for (const fs::path& candidate : {folder / relative, folder / fs::path(relative).filename()}) {
    if (fs::is_regular_file(candidate, error)) return candidate;
  }
  throw std::runtime_error("the " + std::string(FieldWords(entry.field)) + " of item " +
                           std::to_string(entry.item) + ", \"" + entry.name + "\", is not in " +
                           folder.string() +
                           " (a bare film file's media lie beside it, as extract writes them; "
                           "--media names another folder)");
}

RenderInput OpenFilmForRender(const RenderOptions& options, std::ostream& err) {
  std::error_code error;
  if (IsDescriptionName(options.input) || fs::is_directory(options.input, error)) {
    return OpenDescribed(options, err);
  }
  OpenedFilm opened = OpenFilm(options.input);
  if (!opened.readOk) throw std::runtime_error(UnreadableFilmMessage(opened));
  if (!options.quiet) ReportComplaints(opened, err);
  RenderInput input;
  if (opened.payload) {
    for (const MediaEntry& entry : opened.media) {
      if (!entry.FitsIn(opened.fileSize)) {
        throw std::runtime_error("the " + std::string(FieldWords(entry.field)) + " of item " +
                                 std::to_string(entry.item) + " runs past the end of " +
                                 options.input + ": the program is damaged or cut short");
      }
      input.files.push_back(
          {entry.item, entry.field, entry.name, options.input, entry.offset, entry.size, {}});
    }
  } else {
    const fs::path folder = options.media.empty() ? fs::absolute(options.input, error).parent_path()
                                                  : fs::path(options.media);
    for (const MediaEntry& entry : LayoutMedia(*opened.film, 0)) {
      const fs::path path = FindBareMedia(folder, entry);
      const auto size = static_cast<std::int64_t>(fs::file_size(path, error));
      input.files.push_back({entry.item, entry.field, entry.name, path, 0, size, {}});
    }
  }
  input.film = std::move(opened.film);
  return input;
}

std::pair<int, int> ParseSize(const std::string& text) {
  int width = 0;
  int height = 0;
  char x = 0;
  char extra = 0;
  if (std::sscanf(text.c_str(), "%d%c%d%c", &width, &x, &height, &extra) != 3 ||
      (x != 'x' && x != 'X')) {
    throw std::runtime_error("--size takes WIDTHxHEIGHT, such as 1920x1080, not \"" + text + "\"");
  }
  if (width < 800 || height < 600) {
    throw std::runtime_error("--size " + text + " is smaller than the player's 800x600 stage");
  }
  if (width > 7680 || height > 4320) {
    throw std::runtime_error("--size " + text + " is larger than 7680x4320");
  }
  if (width % 2 != 0 || height % 2 != 0) {
    throw std::runtime_error("--size " + text + ": video needs an even width and height");
  }
  return {width, height};
}

// PNG frames in a folder: written into a fresh folder beside it and renamed into place at the
// end, so that a render that fails leaves no partial set of frames behind.
class PngFrameSink final : public render::RenderSink {
 public:
  PngFrameSink(fs::path folder, bool force) : folder_(std::move(folder)), force_(force) {}
  ~PngFrameSink() override { Abandon(); }

  void Begin(const render::RenderFormat& format) override {
    format_ = format;
    std::error_code error;
    if (fs::exists(folder_, error)) {
      if (!fs::is_directory(folder_, error)) {
        throw std::runtime_error("cannot write frames into " + folder_.string() +
                                 ": it is a file (name the video with .mp4, .webm or .mkv)");
      }
      if (!fs::is_empty(folder_, error) && !force_) {
        throw std::runtime_error(folder_.string() +
                                 " is not empty: choose another folder or pass --force");
      }
    }
    const fs::path parent = fs::absolute(folder_, error).parent_path();
    std::string pattern =
        (parent / ("." + folder_.filename().string() + ".partial-XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr) {
      throw std::runtime_error("cannot write frames into " + folder_.string() + ": " +
                               std::strerror(errno));
    }
    partial_ = pattern;
  }

  void Frame(const std::uint8_t* bits, std::span<const float>) override {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%06lld.png", static_cast<long long>(++count_));
    // Frames come by the thousand: zlib's fastest level writes them several times faster than
    // its default for files about a third larger.
    WritePng((partial_ / name).string(), StageToRgb(bits, format_.width, format_.height), 1);
  }

  void Finish() override {
    std::error_code error;
    if (fs::exists(folder_, error)) fs::remove_all(folder_, error);
    if (error)
      throw std::runtime_error("cannot replace " + folder_.string() + ": " + error.message());
    fs::rename(partial_, folder_, error);
    if (error)
      throw std::runtime_error("cannot write " + folder_.string() + ": " + error.message());
    partial_.clear();
  }

  void Abandon() noexcept override {
    if (partial_.empty()) return;
    std::error_code error;
    fs::remove_all(partial_, error);
    partial_.clear();
  }

 private:
  fs::path folder_;
  bool force_;
  fs::path partial_;
  render::RenderFormat format_;
  std::int64_t count_ = 0;
};

std::string Clock(double seconds) {
  const auto whole = static_cast<long long>(seconds + 0.5);
  char text[32];
  if (whole >= 3600) {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60,
                  whole % 60);
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
  }
  return text;
}

// A progress bar on one terminal line, redrawn at most a few times a second.
class ProgressBar {
 public:
  ProgressBar(std::ostream& err, int fps, bool shown) : err_(err), fps_(fps), shown_(shown) {}

  void Update(std::int64_t done, std::int64_t total) {
    if (!shown_) return;
    const auto now = std::chrono::steady_clock::now();
    if (done < total && now - drawn_ < std::chrono::milliseconds(200)) return;
    drawn_ = now;
    const double elapsed = std::chrono::duration<double>(now - start_).count();
    const double speed = elapsed > 0 ? done / elapsed / fps_ : 0;
    const double left = done > 0 ? elapsed * static_cast<double>(total - done) / done : 0;
    constexpr int kWidth = 30;
    const int filled = total > 0 ? static_cast<int>(kWidth * done / total) : 0;
    char line[160];
    std::snprintf(line, sizeof line, "\r[%s%s] %lld/%lld frames  %.1fx real time  %s left ",
                  std::string(static_cast<std::size_t>(filled), '#').c_str(),
                  std::string(static_cast<std::size_t>(kWidth - filled), '-').c_str(),
                  static_cast<long long>(done), static_cast<long long>(total), speed,
                  Clock(left).c_str());
    err_ << line << std::flush;
  }

  void Close() {
    if (shown_) err_ << "\n";
  }

  double Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  }

 private:
  std::ostream& err_;
  int fps_;
  bool shown_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point drawn_{};
};

// Ctrl-C or a kill while frames are written: the render stops at the next frame and its sink
// removes what it had written, instead of the process dying with a hidden partial file left
// beside the output. The handlers are the default ones again once the render is over.
volatile std::sig_atomic_t stopRequested = 0;

void RequestStop(int) { stopRequested = 1; }

class StopSignals {
 public:
  StopSignals() {
    stopRequested = 0;
    interrupt_ = std::signal(SIGINT, RequestStop);
    terminate_ = std::signal(SIGTERM, RequestStop);
  }
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;
  ~StopSignals() {
    std::signal(SIGINT, interrupt_);
    std::signal(SIGTERM, terminate_);
  }
  static void ThrowIfStopped() {
    if (stopRequested != 0) throw std::runtime_error("stopped: nothing was written");
  }

 private:
  void (*interrupt_)(int);
  void (*terminate_)(int);
};

}  // namespace

std::pair<int, int> RenderStageSize(const FilmStage& stage) {
  switch (stage.kind) {
    case FilmStage::Kind::kClassic:
      return {kClassicStageWidth, kClassicStageHeight};
    case FilmStage::Kind::kScreen:
      return {1920, 1080};
    case FilmStage::Kind::kSized:
      break;
  }
  return {stage.width + stage.width % 2, stage.height + stage.height % 2};
}

void RenderFilm(const RenderOptions& options, std::ostream& out, std::ostream& err) {
  const StopSignals signals;  // from the start: extracted media live in a temporary folder
  // A size given is checked before the film is read, so that a mistyped one fails at once.
  // (A plain pair and a flag, not an optional: GCC 12 at -O2 takes the optional's pair for
  // uninitialised where it is read.)
  const bool sizeGiven = !options.size.empty();
  const std::pair<int, int> askedSize = sizeGiven ? ParseSize(options.size) : std::pair{0, 0};
  if (options.output.empty()) throw std::runtime_error("no output given: pass -o OUT");
  const bool video = render::IsVideoFileName(options.output);
  if (!video) {
    std::string extension = fs::path(options.output).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == ".avi" || extension == ".mov" || extension == ".gif" || extension == ".png") {
      throw std::runtime_error("cannot write " + options.output +
                               ": a video is written as .mp4, .webm or .mkv, frames into a folder");
    }
  }
  std::error_code error;
  const fs::path outputFolder = fs::absolute(options.output, error).parent_path();
  if (!fs::is_directory(outputFolder, error)) {
    throw std::runtime_error("cannot write " + options.output + ": the folder " +
                             outputFolder.string() + " does not exist");
  }

  RenderInput input = OpenFilmForRender(options, err);
  const auto [width, height] = sizeGiven ? askedSize : RenderStageSize(input.film->Stage());
  StoredMedia media(std::move(input.files), err);
  render::CaptionFonts fonts(err);
  render::TimelineOptions timelineOptions;
  timelineOptions.width = width;
  timelineOptions.height = height;
  timelineOptions.fps = options.fps;
  timelineOptions.seed = options.seed;
  timelineOptions.loops = options.loops;
  timelineOptions.manualSeconds = options.manualSeconds;
  render::ShowTimeline timeline(*input.film, media, fonts, timelineOptions, err);
  if (timeline.PlannedFrames() == 0) {
    throw std::runtime_error(options.input + " holds nothing to show: no frames to render");
  }

  std::unique_ptr<render::RenderSink> sink =
      video ? render::MakeVideoFileSink(options.output)
            : std::make_unique<PngFrameSink>(options.output, options.force);
  ProgressBar bar(err, options.fps, !options.quiet && isatty(STDERR_FILENO) != 0);
  std::int64_t frames = 0;
  try {
    timeline.Play(*sink, [&](std::int64_t done, std::int64_t total) {
      StopSignals::ThrowIfStopped();
      frames = done;
      bar.Update(done, total);
    });
  } catch (...) {
    bar.Close();
    throw;
  }
  bar.Close();
  if (options.quiet) return;
  const double seconds = static_cast<double>(frames) / options.fps;
  const double took = bar.Seconds();
  char speed[64];
  std::snprintf(speed, sizeof speed, "%.1fx real time", took > 0 ? seconds / took : 0.0);
  out << "wrote " << options.output << ": " << frames << " frames, " << Clock(seconds) << " at "
      << options.fps << " fps, " << width << "x" << height
      << (timeline.HasSound() ? ", with sound" : "") << "; took " << Clock(took) << " (" << speed
      << ")\n";
}

}  // namespace lumafolio
