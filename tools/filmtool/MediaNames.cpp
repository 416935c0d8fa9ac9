#include "tools/filmtool/MediaNames.h"

#include <algorithm>
#include <filesystem>

namespace lumafolio {
namespace {

constexpr size_t kMaxHint = 32;
constexpr size_t kMaxExtension = 8;

bool IsNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_';
}

// The original base name reduced to safe characters, runs of others becoming one '_'.
std::string Hint(const std::string& stem) {
  std::string hint;
  for (const char c : stem) {
    if (IsNameCharacter(c)) {
      hint += c;
    } else if (!hint.empty() && hint.back() != '_') {
      hint += '_';
    }
    if (hint.size() >= kMaxHint) break;
  }
  while (!hint.empty() && hint.back() == '_') hint.pop_back();
  return hint;
}

// The extension with its dot when it is short and plain, else none.
std::string SafeExtension(const std::string& extension) {
  if (extension.size() < 2 || extension.size() > kMaxExtension + 1) return {};
  for (size_t i = 1; i < extension.size(); ++i) {
    if (!IsNameCharacter(extension[i]) || extension[i] == '-' || extension[i] == '_') return {};
  }
  return extension;
}

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return text;
}

// A file that `filmtool extract` wrote already carries a film name of this very size: it keeps
// it, so that a film extracted and built again names its media exactly as before.
bool IsFilmName(int64_t size, const std::filesystem::path& source) {
  const std::string stem = source.stem().string();
  const std::string extension = source.extension().string();
  const std::string digits = std::to_string(size);
  return stem.starts_with(digits) && (stem.size() == digits.size() || stem[digits.size()] == '-') &&
         std::all_of(stem.begin(), stem.end(), IsNameCharacter) &&
         (extension.empty() || SafeExtension(extension) == extension);
}

}  // namespace

std::string MediaNamer::Name(int64_t size, const std::string& sourcePath) {
  const std::filesystem::path source(sourcePath);
  if (IsFilmName(size, source)) {
    std::string name = source.filename().string();
    if (used_.insert(Upper(name)).second) return name;
  }
  const std::string hint = Hint(source.stem().string());
  const std::string extension = SafeExtension(source.extension().string());
  const std::string base = std::to_string(size) + (hint.empty() ? "" : "-" + hint);
  std::string name = base + extension;
  if (used_.insert(Upper(name)).second) return name;
  // A source used again and again (one picture behind many items) resumes counting where its
  // last copy stopped, instead of trying -2, -3, ... afresh every time.
  int& copy = nextCopy_.try_emplace(Upper(name), 2).first->second;
  do {
    name = base + "-" + std::to_string(copy++) + extension;
  } while (!used_.insert(Upper(name)).second);
  return name;
}

}  // namespace lumafolio
