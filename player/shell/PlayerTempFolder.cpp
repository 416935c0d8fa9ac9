#include "player/shell/PlayerTempFolder.h"

#include <windows.h>

#include <cstdio>

#include "player/win32/SystemPaths.h"

namespace lumafolio {
namespace {

// A player that crashed may have left a folder with our process number behind; the counter
// steps past it rather than reuse its files.
constexpr unsigned kAttempts = 1000;

bool IsDotEntry(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

// The entries of a folder, one at a time; the search handle is closed with the object.
class FileSearch {
 public:
  explicit FileSearch(const std::wstring& pattern)
      : handle_(FindFirstFileW(pattern.c_str(), &entry_)),
        found_(handle_ != INVALID_HANDLE_VALUE) {}
  FileSearch(const FileSearch&) = delete;
  FileSearch& operator=(const FileSearch&) = delete;
  ~FileSearch() {
    if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
  }

  explicit operator bool() const { return found_; }
  const WIN32_FIND_DATAW& Entry() const { return entry_; }
  void Next() { found_ = FindNextFileW(handle_, &entry_) != FALSE; }

 private:
  WIN32_FIND_DATAW entry_{};
  HANDLE handle_;
  bool found_;
};

void RemoveWideTree(const std::wstring& folder) {
  for (FileSearch search(folder + L'*'); search; search.Next()) {
    const WIN32_FIND_DATAW& entry = search.Entry();
    if (IsDotEntry(entry.cFileName)) continue;
    const std::wstring path = folder + entry.cFileName;
    const DWORD attributes = entry.dwFileAttributes;
    if (attributes & FILE_ATTRIBUTE_READONLY) {
      SetFileAttributesW(path.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      RemoveWideTree(path + L'\\');
    } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      RemoveDirectoryW(path.c_str());  // a link to a folder elsewhere: only the link goes
    } else {
      DeleteFileW(path.c_str());
    }
  }
  RemoveDirectoryW(folder.c_str());
}

}  // namespace

std::string CreatePlayerFolder(const std::string& tempRoot) {
  if (tempRoot.empty()) return {};
  std::string root = tempRoot;
  if (root.back() != '\\' && root.back() != '/') root += '\\';
  const unsigned long process = GetCurrentProcessId();
  for (unsigned attempt = 0; attempt < kAttempts; ++attempt) {
    char name[48];
    std::snprintf(name, sizeof name, "Lumafolio-%lu-%u", process, attempt);
    const std::string folder = root + name;
    const std::wstring wide = WidePath(folder);
    if (wide.empty()) return {};
    if (CreateDirectoryW(wide.c_str(), nullptr)) return folder + '\\';
    if (GetLastError() != ERROR_ALREADY_EXISTS) return {};
  }
  return {};
}

void RemoveFolderTree(const std::string& folder) {
  if (folder.empty() || folder.back() != '\\') return;
  const std::wstring wide = WidePath(folder);
  if (!wide.empty()) RemoveWideTree(wide);
}

}  // namespace lumafolio
