#include "player/win32/Window.h"

namespace lumafolio {

Window::~Window() { DestroyOwnWindow(); }

bool Window::RegisterWindowClass(WNDCLASSA description) {
  WNDCLASSA existing{};
  if (GetClassInfoA(description.hInstance, description.lpszClassName, &existing)) return true;
  description.lpfnWndProc = &Procedure;
  return RegisterClassA(&description) != 0;
}

HWND Window::CreateOwnWindow(DWORD exStyle, const char* className, const char* title, DWORD style,
                             const RECT& bounds, HWND owner, HINSTANCE instance) {
  const HWND created = CreateWindowExA(exStyle, className, title, style, bounds.left, bounds.top,
                                       bounds.right - bounds.left, bounds.bottom - bounds.top,
                                       owner, nullptr, instance, this);
  if (created == nullptr) window_ = nullptr;  // a creation refused after WM_NCCREATE
  return created;
}

void Window::DestroyOwnWindow() {
  const HWND window = window_;
  if (window == nullptr) return;
  SetWindowLongPtrA(window, GWLP_USERDATA, 0);
  window_ = nullptr;
  DestroyWindow(window);
}

LRESULT CALLBACK Window::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<Window*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    const LRESULT result = self->HandleMessage(message, wParam, lParam);
    self->window_ = nullptr;
    return result;
  }
  return self->HandleMessage(message, wParam, lParam);
}

}  // namespace lumafolio
