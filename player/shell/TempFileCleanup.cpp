#include "player/shell/TempFileCleanup.h"

#include <windows.h>

namespace lumafolio {
namespace {

std::string FullPath(const std::string& path) {
  char buffer[MAX_PATH * 4];
  const DWORD length = GetFullPathNameA(path.c_str(), sizeof buffer, buffer, nullptr);
  if (length == 0 || length >= sizeof buffer) return {};
  return std::string(buffer, length);
}

bool StartsWithIgnoringCase(const std::string& text, const std::string& prefix) {
  return text.size() > prefix.size() &&
         CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, text.data(),
                        static_cast<int>(prefix.size()), prefix.data(),
                        static_cast<int>(prefix.size())) == CSTR_EQUAL;
}

}  // namespace

bool IsInsideFolder(const std::string& path, const std::string& folder) {
  // Both tests: the name as written must begin with the folder (a bare "0" or a relative name is
  // never ours, whatever the current folder), and ".." elements must not lead back out of it.
  std::string base = FullPath(folder);
  if (base.empty()) return false;
  if (base.back() != '\\') base += '\\';
  return StartsWithIgnoringCase(path, folder) && StartsWithIgnoringCase(FullPath(path), base);
}

void DeleteItemTempFiles(const FilmDocument& film, const std::string& tempFolder) {
  const int32_t count = film.ItemCount();
  for (int32_t position = 1; position <= count; ++position) {
    const FilmItem item = film.GetItem(position);
    if ((item.itemType == kItemVideo || item.itemType == kItemPowerPoint) &&
        IsInsideFolder(item.mediaFile, tempFolder)) {
      DeleteFileA(item.mediaFile.c_str());
    }
    if (IsInsideFolder(item.musicFile, tempFolder)) DeleteFileA(item.musicFile.c_str());
  }
}

}  // namespace lumafolio
