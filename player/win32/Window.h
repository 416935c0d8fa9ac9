#pragma once

#include <windows.h>

namespace lumafolio {

// A window whose messages go to an object of ours. Every class registered through it has one
// procedure: at WM_NCCREATE it takes the object from the creation parameter and keeps it in the
// window's user data, so that the object sees every message from the first one on, and it lets
// go of it at WM_NCDESTROY, so that no message reaches an object that is gone.
class Window {
 public:
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // The window, from the start of its creation until it is destroyed; none otherwise.
  HWND window() const { return window_; }

  // Registers `description` (its lpfnWndProc replaced by ours) unless the class exists already.
  static bool RegisterWindowClass(WNDCLASSA description);

 protected:
  Window() = default;
  ~Window();

  // CreateWindowExA with this object as the creation parameter. None on failure.
  HWND CreateOwnWindow(DWORD exStyle, const char* className, const char* title, DWORD style,
                       const RECT& bounds, HWND owner, HINSTANCE instance);
  // Destroys the window without handing the object any further message; harmless without one.
  void DestroyOwnWindow();

  // Every message of the window; what the object does not handle goes to DefWindowProcA.
  virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
  LRESULT DefaultHandling(UINT message, WPARAM wParam, LPARAM lParam) const {
    return DefWindowProcA(window_, message, wParam, lParam);
  }

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND window_ = nullptr;
};

}  // namespace lumafolio
