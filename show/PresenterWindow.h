#pragma once

#include <windows.h>

#include <cstdint>

#include "film/FilmDocument.h"

namespace lumafolio {

// The full-screen window in which the show runs, in front of the black host window. It will own
// everything that puts an item on screen; until the show engine is built it owns nothing and
// creates no window, so a started film leaves the black host window up.
class PresenterWindow {
 public:
  PresenterWindow() = default;
  PresenterWindow(const PresenterWindow&) = delete;
  PresenterWindow& operator=(const PresenterWindow&) = delete;
  ~PresenterWindow() { Destroy(); }

  // Creates the window, owned by `owner`, to show `film` from item `firstItem`. False when no
  // window was made.
  bool Create(HWND owner, FilmDocument& film, int32_t firstItem);
  // Stops everything the show runs and destroys the window; safe to call more than once.
  void Destroy();

  HWND window() const { return window_; }

 private:
  HWND window_ = nullptr;
};

}  // namespace lumafolio
