// A minimal Win32 GUI program that the wine harness tests drive: it shows one borderless window of
// a known colour at a known place, counts left clicks and reports what it received through its exit
// code, so a test can tell that the window, the mouse and the keyboard all reach a real program.
//
//   probe_window.exe [TITLE]
//
// Escape exits with 10 + number of left clicks; a left double-click exits with 77 at once.
#include <windows.h>
#include <shellapi.h>

#include <string>

namespace {

// Borderless (WS_POPUP): the X window wine creates covers exactly the client area, so the window's
// geometry as X reports it is the area painted below, whether or not a window manager runs. Away
// from the middle of a 1024x768 screen, where Xvfb puts the pointer: keys reach the window only
// if the harness moves the pointer over it first.
constexpr int kLeft = 100;
constexpr int kTop = 80;
constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr COLORREF kColour = RGB(200, 40, 40);
constexpr int kEscapeBase = 10;
constexpr int kDoubleClickExit = 77;

int g_clicks = 0;

LRESULT CALLBACK probe_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      HBRUSH brush = CreateSolidBrush(kColour);
      RECT client;
      GetClientRect(window, &client);
      FillRect(dc, &client, brush);
      DeleteObject(brush);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_LBUTTONDOWN:
      ++g_clicks;
      return 0;
    case WM_LBUTTONDBLCLK:
      DestroyWindow(window);
      PostQuitMessage(kDoubleClickExit);
      return 0;
    case WM_KEYDOWN:
      if (wparam == VK_ESCAPE) {
        DestroyWindow(window);
        PostQuitMessage(kEscapeBase + g_clicks);
        return 0;
      }
      break;
    case WM_CLOSE:
      DestroyWindow(window);
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

std::wstring title_from_command_line() {
  std::wstring title = L"Lumafolio Harness Probe";
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv != nullptr) {
    if (argc > 1) title = argv[1];
    LocalFree(argv);
  }
  return title;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  WNDCLASSW wc{};
  wc.style = CS_DBLCLKS;  // without it Windows never sends WM_LBUTTONDBLCLK
  wc.lpfnWndProc = probe_proc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.lpszClassName = L"LumafolioHarnessProbe";
  if (RegisterClassW(&wc) == 0) return 2;

  const std::wstring title = title_from_command_line();
  HWND window = CreateWindowExW(0, wc.lpszClassName, title.c_str(), WS_POPUP, kLeft, kTop, kWidth,
                                kHeight, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 3;
  ShowWindow(window, show == SW_HIDE ? SW_SHOWNORMAL : show);
  UpdateWindow(window);

  MSG msg;
  BOOL got;
  while ((got = GetMessageW(&msg, nullptr, 0, 0)) != 0) {
    if (got == -1) return 4;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}
