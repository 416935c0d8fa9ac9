// libFuzzer target for the film description reader of `filmtool build`: the input is the text
// of a description. It must be read or refused without a memory fault, and a refusal is always a
// DescriptionError that names the description and a line of it ("film.toml:LINE: what"); any
// other exception is a finding. What is read must fit the film's fixed-width fields.
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

void CheckMessage(const std::string& message, const std::string& text) {
  const std::string prefix = std::string(kPath) + ":";
  Check(message.rfind(prefix, 0) == 0);
  const size_t digits = message.find_first_not_of("0123456789", prefix.size());
  Check(digits != std::string::npos && digits > prefix.size() && digits - prefix.size() <= 9);
  const long line = std::stol(message.substr(prefix.size(), digits - prefix.size()));
  // A line of the text, or the one just past its end where the text stops too early.
  const long lines = 1 + std::count(text.begin(), text.end(), '\n');
  Check(line >= 1 && line <= lines + 1);
  Check(message.compare(digits, 2, ": ") == 0 && message.size() > digits + 2);
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
    CheckMessage(e.what(), text);
  }
  return 0;
}
