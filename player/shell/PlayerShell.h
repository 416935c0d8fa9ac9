#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "core/film/FilmDocument.h"
#include "player/show/PresenterWindow.h"
#include "player/win32/Window.h"

namespace lumafolio {

// The player process: the black host window that covers the screen, the film, the temporary
// folder and the presenter once the show runs. Everything before the show happens inside the
// host window's creation; everything after it goes through EndShow.
class PlayerShell final : public Window {
 public:
  explicit PlayerShell(HINSTANCE instance) : instance_(instance) {}
  PlayerShell(const PlayerShell&) = delete;
  PlayerShell& operator=(const PlayerShell&) = delete;

  // Registers the window class, creates and shows the host window, runs the message loop.
  // Returns the process exit code.
  int Run(int showCommand);

  // Closes the presenter (which stops everything the show runs), then deletes the extracted
  // item files and the film file. Safe to call again: what is gone stays gone.
  void EndShow();

 private:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  // Locates the payload, extracts and reads the film, prepares the items and starts the show.
  // A failure stops here and leaves the black window up until Escape; when the program cannot
  // read its own file or write to the temporary folder, a message says so first.
  void RunCreationSequence();
  void StartShow();
  std::string FilmPath() const { return tempFolder_ + "Film.flm"; }

  HINSTANCE instance_;
  FilmDocument film_;
  // This player's own folder in the temporary folder, ending with "\\"; UTF-8, as every path.
  std::string tempFolder_;
  std::unique_ptr<PresenterWindow> presenter_;
};

}  // namespace lumafolio
