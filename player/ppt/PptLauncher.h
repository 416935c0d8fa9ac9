#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "core/film/FilmDocument.h"

namespace lumafolio {

class SlideImage;

// Where PowerPoint Viewer 97 says it is installed: whether its registry key exists, and the
// program path its "Path" value holds (none when the value is missing, too long or not a string).
struct PptViewerEntry {
  bool keyFound = false;
  std::optional<std::string> path;
};
PptViewerEntry ReadPptViewerEntry();

// Runs PowerPoint show items: the player draws nothing for them but starts PowerPoint Viewer 97
// on the show file, maximised, and waits for it to be closed. The show stands still meanwhile
// (the caller's thread is blocked): the item's time starts counting when the viewer has gone.
class PptLauncher {
 public:
  explicit PptLauncher(HWND presenter) : presenter_(presenter) {}
  PptLauncher(const PptLauncher&) = delete;
  PptLauncher& operator=(const PptLauncher&) = delete;
  virtual ~PptLauncher() = default;

  // Nothing is prepared ahead for a show: the slot of the next picture is emptied.
  int Prepare(SlideImage** nextPrepared) const;
  // Shows `item` and returns when the viewer has ended: 1, or 0 when it could not be started (no
  // viewer, a path that cannot be shortened, a missing file) or waited for. `currentPrepared` is
  // emptied either way: no picture stands for a show.
  int RunShow(const FilmItem& item, SlideImage** currentPrepared);
  // Reads where the viewer is. 0, after a message box, when it is not installed; a path that
  // cannot be read keeps the one read before.
  int FindViewer();

  const std::string& ViewerPath() const { return viewerPath_; }

 private:
  const FilmItem* item_ = nullptr;
  std::string viewerPath_;
  HWND presenter_;
};

}  // namespace lumafolio
