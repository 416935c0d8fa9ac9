#include "show/PresenterWindow.h"

namespace lumafolio {

bool PresenterWindow::Create(HWND, FilmDocument&, int32_t) { return false; }

void PresenterWindow::Destroy() {
  if (window_) DestroyWindow(window_);
  window_ = nullptr;
}

}  // namespace lumafolio
