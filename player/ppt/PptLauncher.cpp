#include "player/ppt/PptLauncher.h"

#include <vector>

#include "core/show/ShowSequence.h"
#include "player/win32/RegistryKey.h"
#include "player/win32/SystemPaths.h"
#include "player/win32/UniqueHandle.h"

namespace lumafolio {
namespace {

constexpr char kViewerKey[] = "SOFTWARE\\MICROSOFT\\OFFICE\\8.0\\POWERPOINT\\VIEWER\\8.0";
constexpr DWORD kPathSize = 260;

// The short (8.3) form of an existing file's path: spaces and long names need no quotes on the
// viewer's command line. None when the file is missing or the form does not fit.
std::optional<std::string> ShortPath(const std::string& path) {
  if (path.empty()) return std::nullopt;
  char shortPath[kPathSize];
  const DWORD length = GetShortPathNameA(path.c_str(), shortPath, kPathSize);
  if (length == 0 || length >= kPathSize) return std::nullopt;
  return std::string(shortPath, length);
}

}  // namespace

PptViewerEntry ReadPptViewerEntry() {
  PptViewerEntry entry;
  const RegistryKey key(HKEY_LOCAL_MACHINE, kViewerKey, KEY_READ);
  if (!key) return entry;
  entry.keyFound = true;
  // One byte more than the value may hold: a value of exactly 260 bytes may lack its terminator.
  char path[kPathSize + 1] = {};
  DWORD size = kPathSize;
  DWORD type = REG_NONE;
  if (RegQueryValueExA(key.get(), "Path", nullptr, &type, reinterpret_cast<BYTE*>(path), &size) ==
          ERROR_SUCCESS &&
      type == REG_SZ) {
    path[size] = '\0';
    entry.path = path;  // up to the first terminator
  }
  return entry;
}

int PptLauncher::Prepare(SlideImage** nextPrepared) const {
  if (nextPrepared != nullptr) *nextPrepared = nullptr;
  return 1;
}

int PptLauncher::FindViewer() {
  const PptViewerEntry entry = ReadPptViewerEntry();
  if (!entry.keyFound) {
    MessageBoxA(nullptr, "PowerPoint Viewer 97 not found", nullptr, MB_OK);
    return 0;
  }
  if (entry.path) viewerPath_ = *entry.path;
  return 1;
}

int PptLauncher::RunShow(const FilmItem& item, SlideImage** currentPrepared) {
  if (currentPrepared != nullptr) *currentPrepared = nullptr;
  item_ = &item;
  if (!FindViewer()) return 0;
  const std::optional<std::string> viewer = ShortPath(viewerPath_);
  // The show lies in our temporary folder, whose path the ANSI code page may not spell: its
  // short form is found through the wide-character call.
  const std::optional<std::string> show = ShortAnsiPath(MediaPath(item));
  if (!viewer || !show) return 0;

  // CreateProcessA may write into its command line.
  const std::string line = *viewer + " /A " + *show;
  std::vector<char> commandLine(line.begin(), line.end());
  commandLine.push_back('\0');
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWMAXIMIZED;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE,
                      CREATE_DEFAULT_ERROR_MODE, nullptr, nullptr, &startup, &process)) {
    return 0;
  }
  UniqueHandle processHandle(process.hProcess);
  const UniqueHandle thread(process.hThread);  // not needed, but owned all the same
  if (WaitForSingleObject(processHandle.get(), INFINITE) == WAIT_FAILED) return 0;
  return CloseHandle(processHandle.release()) ? 1 : 0;
}

}  // namespace lumafolio
