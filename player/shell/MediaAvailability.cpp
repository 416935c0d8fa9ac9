#include "player/shell/MediaAvailability.h"

#include <windows.h>
// DirectShow's class and interface ids.
#include <dshow.h>

#include <cstdio>

#include "player/win32/ComInitialisation.h"
#include "player/win32/RegistryKey.h"

namespace lumafolio {

bool IsVideoPlaybackAvailable() {
  ComInitialisation com;
  IGraphBuilder* graph = nullptr;
  const HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IGraphBuilder, reinterpret_cast<void**>(&graph));
  if (SUCCEEDED(hr) && graph) graph->Release();
  return SUCCEEDED(hr);
}

bool IsPptViewerInstalled() {
  // The viewer's own key, written without a leading or trailing separator: the registry refuses
  // a key path that begins with one, so the viewer would never be found.
  RegistryKey key(HKEY_LOCAL_MACHINE, "SOFTWARE\\MICROSOFT\\OFFICE\\8.0\\POWERPOINT\\VIEWER\\8.0",
                  KEY_READ);
  if (!key) return false;
  char path[260] = {};
  DWORD size = sizeof path;
  DWORD type = 0;
  if (RegQueryValueExA(key.get(), "Path", nullptr, &type, reinterpret_cast<BYTE*>(path), &size) !=
      ERROR_SUCCESS) {
    return false;
  }
  path[sizeof path - 1] = '\0';  // a value of exactly 260 bytes may lack its terminator
  return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

std::string FindCdRomDrive(const std::function<unsigned(const char* root)>& driveType) {
  for (char letter = 'D'; letter <= 'Z'; ++letter) {
    char root[4];
    std::snprintf(root, sizeof root, "%c:\\", letter);
    if (driveType(root) == DRIVE_CDROM) return root;
  }
  return {};
}

}  // namespace lumafolio
