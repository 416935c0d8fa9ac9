#include "tools/filmtool/EffectNames.h"

#include <cstdio>
#include <span>

namespace lumafolio {
namespace {

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

template <typename Entry, std::size_t N>
const char* NameAt(std::span<const Entry, N> table, int index) {
  return index >= 0 && index < static_cast<int>(N) ? table[static_cast<std::size_t>(index)].name
                                                   : nullptr;
}

template <typename Entry, std::size_t N>
std::optional<int> Find(std::span<const Entry, N> table, std::string_view name) {
  for (const Entry& entry : table) {
    if (SameName(entry.name, name)) return entry.index;
  }
  return std::nullopt;
}

}  // namespace

const char* TransitionName(int index) { return NameAt(TransitionTable(), index); }

const char* CaptionEffectName(int index) { return NameAt(CaptionEffectTable(), index); }

std::optional<int> TransitionFromName(std::string_view name) {
  return Find(TransitionTable(), name);
}

std::optional<int> CaptionEffectFromName(std::string_view name) {
  return Find(CaptionEffectTable(), name);
}

namespace {

template <typename Table>
std::string Listing(const Table& table) {
  std::string listing;
  for (const auto& entry : table) {
    char line[160];
    std::snprintf(line, sizeof line, "  %-16s %2d  %s\n", entry.name, entry.index, entry.summary);
    listing += line;
  }
  return listing;
}

}  // namespace

std::string TransitionListing() { return Listing(TransitionTable()); }

std::string CaptionEffectListing() { return Listing(CaptionEffectTable()); }

}  // namespace lumafolio
