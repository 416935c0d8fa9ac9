#include "core/film/FilmStage.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace lumafolio {
namespace {

// The classic stage is the smallest: films are laid out for it, so a stage may only be larger.
constexpr int kMinWidth = 800;
constexpr int kMinHeight = 600;
// An 8K screen, the largest stage a picture may be fitted to without exhausting memory.
constexpr int kMaxWidth = 7680;
constexpr int kMaxHeight = 4320;

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// A side of at most five digits (larger numbers are refused as too large, not overflowed).
std::optional<int> Side(std::string_view digits) {
  if (digits.empty()) return std::nullopt;
  int value = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    value = std::min(value * 10 + (c - '0'), 99999);
  }
  return value;
}

std::string_view Trimmed(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

std::optional<FilmStage> ParseFilmStage(std::string_view text, std::string* reason) {
  const auto refuse = [reason](std::string why) -> std::optional<FilmStage> {
    if (reason) *reason = std::move(why);
    return std::nullopt;
  };
  if (EqualsIgnoringCase(text, "classic")) return FilmStage{};
  if (EqualsIgnoringCase(text, "screen")) return FilmStage{FilmStage::Kind::kScreen, 0, 0};
  const size_t x = text.find_first_of("xX");
  const std::optional<int> width =
      x == std::string_view::npos ? std::nullopt : Side(text.substr(0, x));
  const std::optional<int> height =
      x == std::string_view::npos ? std::nullopt : Side(text.substr(x + 1));
  if (!width || !height) {
    return refuse(
        "a stage is \"classic\", \"screen\" or a size WIDTHxHEIGHT such as \"1920x1080\"");
  }
  const std::string size = std::to_string(*width) + "x" + std::to_string(*height);
  if (*width < kMinWidth || *height < kMinHeight) {
    return refuse("the stage " + size +
                  " is smaller than the classic 800x600; no side may be shorter");
  }
  if (*width > kMaxWidth || *height > kMaxHeight) {
    return refuse("the stage " + size + " is larger than 7680x4320; no side may be longer");
  }
  return FilmStage{FilmStage::Kind::kSized, *width, *height};
}

std::string FilmStageName(const FilmStage& stage) {
  switch (stage.kind) {
    case FilmStage::Kind::kClassic:
      return "classic";
    case FilmStage::Kind::kScreen:
      return "screen";
    case FilmStage::Kind::kSized:
      break;
  }
  return std::to_string(stage.width) + "x" + std::to_string(stage.height);
}

std::string StageStreamText(const FilmStage& stage) {
  return "stage = " + FilmStageName(stage) + "\r\n";
}

FilmStage StageFromStreamText(std::string_view text) {
  std::optional<FilmStage> stage;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos || Trimmed(line.substr(0, equals)) != "stage") continue;
    // Given twice, the last one counts, as in a file of settings edited by hand.
    stage = ParseFilmStage(Trimmed(line.substr(equals + 1)));
  }
  return stage.value_or(FilmStage{});
}

}  // namespace lumafolio
