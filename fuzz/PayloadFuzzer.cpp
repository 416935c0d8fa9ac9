// libFuzzer target for what `filmtool inspect` and `extract` do with a player program: find the
// payload markers, read the film behind them, lay out the media by their size-coded names and
// print or extract them. The input is the program file. Besides running without a memory fault:
//   - the markers are found where a plain search finds them;
//   - the listing and the extraction log hold no control character but line ends, and the JSON
//     is JSON;
//   - extraction writes only below its folder: nothing appears beside it, every file listed lies
//     inside it, and a refusal that says nothing was extracted leaves nothing;
//   - no temporary file outlives a command.
#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>
#include <string>

#include "core/payload/PlayerPayload.h"
#include "core/payload/StdioFile.h"
#include "fuzz/TempPath.h"
#include "tools/filmtool/ExtractCommand.h"
#include "tools/filmtool/InspectCommand.h"

namespace {

namespace fs = std::filesystem;
using namespace lumafolio;

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// Everything of one run lies in a folder of its own: the program, the extraction folder and the
// temporary folder that the tools' own temporary files go to.
struct Sandbox {
  fuzz::TempFolder folder{"payload"};
  fs::path program = folder.path() / "program.exe";
  fs::path out = folder.path() / "out";
  fs::path temporary = folder.path() / "tmp";
  Sandbox() {
    fs::create_directory(temporary);
    setenv("TMPDIR", temporary.c_str(), 1);
  }
};

int64_t PlainSearch(const uint8_t* data, size_t size, const char* marker, size_t length) {
  const uint8_t* end = data + size;
  const uint8_t* found = std::search(data, end, marker, marker + length);
  return found == end ? 0 : found - data + static_cast<int64_t>(length);
}

void CheckMarkers(const std::string& path, const uint8_t* data, size_t size) {
  const StdioFile file = OpenStdioFile(path.c_str(), "rb");
  Check(file != nullptr);
  const auto film = FilmMarker();
  const auto media = MediaMarker();
  const int64_t filmStart = PlainSearch(data, size, film.data(), film.size());
  const int64_t mediaStart = PlainSearch(data, size, media.data(), media.size());
  const std::optional<PayloadLocation> location = LocatePayload(file.get());
  const bool expected =
      filmStart && mediaStart && mediaStart - static_cast<int64_t>(media.size()) >= filmStart;
  Check(location.has_value() == expected);
  if (location) Check(location->filmStart == filmStart && location->mediaStart == mediaStart);
}

// No C0 control but the line end, no DEL and no C1 control (U+0080 to U+009F in UTF-8).
void CheckPrintable(const std::string& text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    Check(byte == '\n' || (byte >= 0x20 && byte != 0x7F));
    if (byte == 0xC2 && i + 1 < text.size()) {
      const auto next = static_cast<unsigned char>(text[i + 1]);
      Check(next < 0x80 || next >= 0xA0);
    }
  }
}

// Runs a command as the command line does: a std::runtime_error is a refusal, whose message is
// returned; anything else escapes and is a finding.
template <typename Command>
std::string Run(Command command) {
  try {
    command();
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return {};
}

void CheckExtraction(const Sandbox& sandbox, const std::string& log, const std::string& error) {
  // Nothing but our own three entries beside the extraction folder.
  for (const fs::directory_entry& entry : fs::directory_iterator(sandbox.folder.path())) {
    const fs::path name = entry.path().filename();
    Check(name == "program.exe" || name == "out" || name == "tmp");
  }
  if (error.find("nothing was extracted") != std::string::npos) {
    Check(!fs::exists(sandbox.out) || fs::is_empty(sandbox.out));
  }
  if (!fs::exists(sandbox.out)) return;
  size_t files = 0;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(sandbox.out)) {
    Check(!entry.is_symlink());
    if (entry.is_regular_file()) ++files;
  }
  // Every line of the log names a file below the folder.
  const std::string prefix = sandbox.out.string() + "/";
  size_t listed = 0;
  std::istringstream lines(log);
  for (std::string line; std::getline(lines, line);) {
    Check(line.rfind(prefix, 0) == 0);
    const fs::path relative = fs::path(line.substr(prefix.size())).lexically_normal();
    Check(!relative.empty() && *relative.begin() != "..");
    if (line.find(" (the same file as ") == std::string::npos) ++listed;
  }
  if (error.empty()) Check(listed == files);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const Sandbox sandbox;
  const std::string program = sandbox.program.string();
  {
    StdioFile file = OpenStdioFile(program.c_str(), "wb");
    if (!file || (size > 0 && std::fwrite(data, 1, size, file.get()) != size)) return 0;
  }
  CheckMarkers(program, data, size);

  std::ostringstream listing, notes;
  Run([&] { InspectFilm(program, false, listing, notes); });
  CheckPrintable(listing.str());
  CheckPrintable(notes.str());

  std::ostringstream json;
  Run([&] { InspectFilm(program, true, json, notes); });
  // A film that is no film prints nothing; any other prints its JSON, even when cut short.
  if (!json.str().empty()) Check(nlohmann::json::accept(json.str()));

  std::ostringstream log, extractNotes;
  const std::string error =
      Run([&] { ExtractFilm(program, sandbox.out.string(), log, extractNotes); });
  CheckPrintable(log.str());
  CheckPrintable(extractNotes.str());
  CheckExtraction(sandbox, log.str(), error);

  std::error_code ignored;
  fs::remove_all(sandbox.out, ignored);
  Check(fs::is_empty(sandbox.temporary));
  return 0;
}
