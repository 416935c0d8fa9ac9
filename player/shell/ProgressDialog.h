#pragma once

#include <windows.h>

#include <string>

namespace lumafolio {

// The small modeless window that shows how far item preparation has got: a title, a bar and
// the bar's own position as a percentage.
class ProgressDialog {
 public:
  explicit ProgressDialog(const std::string& title);  // keeps at most 63 characters
  ProgressDialog(const ProgressDialog&) = delete;
  ProgressDialog& operator=(const ProgressDialog&) = delete;
  ~ProgressDialog() { Close(); }

  // Creates the window from its dialog resource, owned by `parent`, replacing one it had.
  void Open(HWND parent, HINSTANCE instance);
  // Clamps `fraction` to 0..1, moves the bar and shows its position; nothing without a window.
  void SetProgress(float fraction);
  void Close();

  HWND window() const { return window_; }

 private:
  static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

  std::string title_;
  HWND window_ = nullptr;
};

}  // namespace lumafolio
