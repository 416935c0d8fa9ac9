// libFuzzer target for the film description reader of `filmtool build`: the input is the text
// of a description. It must be read or refused without a memory fault, and a refusal is always a
// DescriptionError whose every line names the description and a line of it ("film.toml:LINE:
// what"), in the order of the lines; any other exception is a finding. What is read must fit the
// film's fixed-width fields.
#include <algorithm>
#include <cstdint>
#include <string>

#include "core/film/FilmRecords.h"
#include "tools/filmtool/Description.h"

namespace {

using namespace lumafolio;

constexpr const char* kPath = "films/film.toml";

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

long CheckMessage(const std::string& message, const std::string& text) {
  const std::string prefix = std::string(kPath) + ":";
  Check(message.rfind(prefix, 0) == 0);
  const size_t digits = message.find_first_not_of("0123456789", prefix.size());
  Check(digits != std::string::npos && digits > prefix.size() && digits - prefix.size() <= 9);
  const long line = std::stol(message.substr(prefix.size(), digits - prefix.size()));
  // A line of the text, or the one just past its end where the text stops too early.
  const long lines = 1 + std::count(text.begin(), text.end(), '\n');
  Check(line >= 1 && line <= lines + 1);
  Check(message.compare(digits, 2, ": ") == 0 && message.size() > digits + 2);
  return line;
}

void CheckFits(const FilmDescription& film) {
  Check(!film.items.empty());
  for (const DescribedItem& item : film.items) {
    Check(!item.file.written.empty() && item.line >= 1);
    Check(item.cdTrack.size() < kPathFieldWidth);
    for (const DescribedCaption& caption : item.captions) {
      Check(caption.caption.text.size() < kCaptionTextWidth);
      Check(caption.caption.font.faceName.back() == '\0');
      Check(!HoldsMediaMarker(caption.caption.text));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    CheckFits(ParseDescription(text, kPath));
  } catch (const DescriptionError& e) {
    Check(!e.lines().empty());
    long previous = 0;
    for (const std::string& line : e.lines()) {
      const long at = CheckMessage(line, text);
      Check(at >= previous);
      previous = at;
    }
  }
  return 0;
}
