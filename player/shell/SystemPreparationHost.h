#pragma once

#include <windows.h>

#include "player/shell/ItemPreparation.h"
#include "player/shell/ProgressDialog.h"

namespace lumafolio {

// Item preparation on the real machine: DirectShow, the registry, the drives, ole32, the progress
// window over the host window and plain message boxes.
class SystemPreparationHost final : public PreparationHost {
 public:
  SystemPreparationHost(HWND hostWindow, HINSTANCE instance)
      : hostWindow_(hostWindow), instance_(instance) {}

  bool IsVideoPlaybackAvailable() override;
  bool IsPptViewerInstalled() override;
  unsigned DriveType(const char* root) override;
  bool ReadFilm(FilmDocument& film, const std::string& filmPath) override;
  void OpenProgress() override;
  void SetProgress(float fraction) override;
  void CloseProgress() override;
  void ShowMessage(const char* text) override;

 private:
  HWND hostWindow_;
  HINSTANCE instance_;
  ProgressDialog progress_{"Processing"};
};

}  // namespace lumafolio
