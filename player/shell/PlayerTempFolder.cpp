#include "player/shell/PlayerTempFolder.h"

#include <windows.h>

#include <cstdio>

namespace lumafolio {
namespace {

// A player that crashed may have left a folder with our process number behind; the counter
// steps past it rather than reuse its files.
constexpr unsigned kAttempts = 1000;

bool IsDotEntry(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// The entries of a folder, one at a time; the search handle is closed with the object.
class FileSearch {
 public:
  explicit FileSearch(const std::string& pattern)
      : handle_(FindFirstFileA(pattern.c_str(), &entry_)),
        found_(handle_ != INVALID_HANDLE_VALUE) {}
  FileSearch(const FileSearch&) = delete;
  FileSearch& operator=(const FileSearch&) = delete;
  ~FileSearch() {
    if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
  }

  explicit operator bool() const { return found_; }
  const WIN32_FIND_DATAA& Entry() const { return entry_; }
  void Next() { found_ = FindNextFileA(handle_, &entry_) != FALSE; }

 private:
  WIN32_FIND_DATAA entry_{};
  HANDLE handle_;
  bool found_;
};

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
    if (CreateDirectoryA(folder.c_str(), nullptr)) return folder + '\\';
    if (GetLastError() != ERROR_ALREADY_EXISTS) return {};
  }
  return {};
}

void RemoveFolderTree(const std::string& folder) {
  if (folder.empty() || folder.back() != '\\') return;
  for (FileSearch search(folder + '*'); search; search.Next()) {
    const WIN32_FIND_DATAA& entry = search.Entry();
    if (IsDotEntry(entry.cFileName)) continue;
    const std::string path = folder + entry.cFileName;
    const DWORD attributes = entry.dwFileAttributes;
    if (attributes & FILE_ATTRIBUTE_READONLY) {
      SetFileAttributesA(path.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      RemoveFolderTree(path + '\\');
    } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      RemoveDirectoryA(path.c_str());  // a link to a folder elsewhere: only the link goes
    } else {
      DeleteFileA(path.c_str());
    }
  }
  RemoveDirectoryA(folder.c_str());
}

}  // namespace lumafolio
