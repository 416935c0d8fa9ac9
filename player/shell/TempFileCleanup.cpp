#include "player/shell/TempFileCleanup.h"

#include <windows.h>

#include "player/win32/SystemPaths.h"

namespace lumafolio {
namespace {

std::wstring FullPath(const std::wstring& path) {
  if (path.empty()) return {};
  const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) return {};
  std::wstring full(size, L'\0');
  const DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return {};
  full.resize(length);
  return full;
}

// As Windows compares file names: without regard to case, character by character.
bool StartsWithIgnoringCase(const std::wstring& text, const std::wstring& prefix) {
  return text.size() > prefix.size() &&
         CompareStringOrdinal(text.data(), static_cast<int>(prefix.size()), prefix.data(),
                              static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL;
}

void DeleteIfOurs(const std::string& path, const std::string& folder) {
  if (IsInsideFolder(path, folder)) DeleteFileW(WidePath(path).c_str());
}

}  // namespace

bool IsInsideFolder(const std::string& path, const std::string& folder) {
  // Both tests: the name as written must begin with the folder (a bare "0" or a relative name is
  // never ours, whatever the current folder), and ".." elements must not lead back out of it.
  const std::wstring widePath = WidePath(path);
  const std::wstring wideFolder = WidePath(folder);
  std::wstring base = FullPath(wideFolder);
  if (widePath.empty() || base.empty()) return false;
  if (base.back() != L'\\') base += L'\\';
  return StartsWithIgnoringCase(widePath, wideFolder) &&
         StartsWithIgnoringCase(FullPath(widePath), base);
}

void DeleteItemTempFiles(const FilmDocument& film, const std::string& tempFolder) {
  const int32_t count = film.ItemCount();
  for (int32_t position = 1; position <= count; ++position) {
    const FilmItem item = film.GetItem(position);
    if (item.itemType == kItemVideo || item.itemType == kItemPowerPoint) {
      DeleteIfOurs(item.mediaFile, tempFolder);
    }
    DeleteIfOurs(item.musicFile, tempFolder);
  }
}

}  // namespace lumafolio
