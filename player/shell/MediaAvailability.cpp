#include "player/shell/MediaAvailability.h"

#include <windows.h>
// DirectShow's class and interface ids.
#include <dshow.h>

#include <cstdio>

#include "player/ppt/PptLauncher.h"
#include "player/win32/ComInitialisation.h"

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
  const PptViewerEntry viewer = ReadPptViewerEntry();
  return viewer.path && GetFileAttributesA(viewer.path->c_str()) != INVALID_FILE_ATTRIBUTES;
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
