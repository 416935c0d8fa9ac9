#include "player/shell/PlayerShell.h"

#include <commctrl.h>

#include "core/payload/PlayerPayload.h"
#include "core/payload/StdioFile.h"
#include "player/shell/CopyFileRange.h"
#include "player/shell/ItemPreparation.h"
#include "player/shell/PlayerResources.h"
#include "player/shell/PlayerTempFolder.h"
#include "player/shell/SystemPreparationHost.h"
#include "player/shell/TempFileCleanup.h"
#include "player/win32/MonitorArea.h"
#include "player/win32/SystemPaths.h"

namespace lumafolio {
namespace {

constexpr char kClassName[] = "FilmPlayer";
constexpr char kTitle[] = "Lumafolio Standalone Player";
constexpr UINT kClassStyle = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC | CS_PARENTDC |
                             CS_BYTEALIGNCLIENT | CS_BYTEALIGNWINDOW;
constexpr DWORD kHostStyle = WS_POPUP | WS_CLIPCHILDREN | WS_MAXIMIZE | WS_SYSMENU;
constexpr WPARAM kEscape = VK_ESCAPE;

// Where the show cannot even start, the user is told why rather than left with a black screen.
// The path is shown as the system names it, whatever its characters.
void ShowFailure(const wchar_t* text, const std::string& path) {
  std::wstring message = text;
  if (const std::wstring wide = WidePath(path); !wide.empty()) message += L"\n\n" + wide;
  MessageBoxW(nullptr, message.c_str(), nullptr, MB_OK | MB_ICONERROR);
}

}  // namespace

int PlayerShell::Run(int showCommand) {
  // The progress window of the preparation is made inside the host window's creation, so the
  // progress bar's class must be there first.
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);

  WNDCLASSA windowClass{};
  windowClass.style = kClassStyle;
  windowClass.hInstance = instance_;
  windowClass.hIcon = LoadIconA(instance_, MAKEINTRESOURCEA(IDI_PLAYER));
  windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = kClassName;
  if (!RegisterWindowClass(windowClass)) return 0;

  // The monitor's own area rather than default placement: a pop-up window placed by default is
  // made 0 by 0, and showing it "normal" restores it to that, so nothing would cover the screen.
  const RECT screen = StartMonitorArea();
  if (!CreateOwnWindow(0, kClassName, kTitle, kHostStyle, screen, nullptr, instance_)) return 0;
  ShowWindow(window(), showCommand);
  UpdateWindow(window());
  if (presenter_ && presenter_->window()) {
    // The presenter comes on screen after the host and stays the active window, as a modal
    // dialog does over its disabled owner. Under a window manager this is what keeps the show
    // visible: of two full-screen windows it stacks the active one on top, and a disabled host
    // hands the focus it is offered on to the presenter.
    EnableWindow(window(), FALSE);
    presenter_->ShowOnScreen();
  }

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}

LRESULT PlayerShell::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      RunCreationSequence();
      return 0;
    case WM_PAINT: {
      // The class brush paints the backdrop black; there is nothing else to draw.
      PAINTSTRUCT paint;
      BeginPaint(window(), &paint);
      EndPaint(window(), &paint);
      return 0;
    }
    case WM_KEYDOWN:
      if (wParam == kEscape && presenter_ && presenter_->InStep()) {
        presenter_->EndAfterStep();  // the step is still on the stack: it ends the show itself
      } else if (wParam == kEscape) {
        EndShow();
        PostMessageA(window(), WM_CLOSE, 0, 0);
      } else if (presenter_ && presenter_->window()) {
        SetForegroundWindow(presenter_->window());
        SendMessageA(presenter_->window(), WM_KEYDOWN, wParam, lParam);
      }
      return 0;
    case WM_COMMAND:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
      return 0;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_SCREENSAVE || (wParam & 0xFFF0) == SC_MONITORPOWER) return 0;
      return DefaultHandling(message, wParam, lParam);
    case WM_CLOSE:
      if (presenter_ && presenter_->InStep()) {
        presenter_->EndAfterStep();
        return 0;
      }
      // Alt+F4, the system menu or a program asking us to close: the show and its temporary
      // files must go the same way as on Escape.
      EndShow();
      return DefaultHandling(message, wParam, lParam);
    case WM_ENDSESSION:
      if (wParam) EndShow();  // Windows is logging off or shutting down
      return 0;
    case WM_DESTROY:
      EndShow();
      PostQuitMessage(0);
      return 0;
    default:
      return DefaultHandling(message, wParam, lParam);
  }
}

void PlayerShell::RunCreationSequence() {
  // Wide-character calls throughout: a program in a folder (or a user whose temporary folder)
  // the ANSI code page cannot spell would otherwise find neither its own file nor a place for
  // the film's files, and stand black without a word.
  const std::string programPath = ProgramPath();
  std::optional<PayloadLocation> payload;
  {
    StdioFile program = OpenStdioFile(programPath.c_str(), "rb");
    if (!program) {
      ShowFailure(L"Cannot open this program's own file to read its show.", programPath);
      return;
    }
    payload = LocatePayload(program.get());
  }
  if (!payload) return;  // a player without a film: the black window, as ever

  const std::string tempRoot = TemporaryFolder();
  // A folder of this player's own: another player running at the same time (the same film or
  // another) writes files of the same names, and deletes its own when it ends.
  tempFolder_ = CreatePlayerFolder(tempRoot);
  if (tempFolder_.empty() ||
      !CopyFileRange(programPath, payload->filmStart, payload->FilmSize(), FilmPath())) {
    ShowFailure(L"Cannot write the show's files to the temporary folder.", tempRoot);
    return;
  }

  SystemPreparationHost host(window(), instance_);
  const PreparationPaths paths{programPath, FilmPath(), tempFolder_, payload->mediaStart};
  if (PrepareItems(host, film_, paths)) StartShow();
}

void PlayerShell::StartShow() {
  presenter_ = std::make_unique<PresenterWindow>();
  // Shown by Run once the host is on screen.
  presenter_->Create(window(), film_, 1);
}

void PlayerShell::EndShow() {
  // Enabled again before the presenter goes, so that the activation passes back to the host.
  if (window() != nullptr) EnableWindow(window(), TRUE);
  if (presenter_) {
    presenter_->Destroy();
    presenter_.reset();
  }
  if (tempFolder_.empty()) return;  // nothing was extracted before the temporary folder was known
  DeleteItemTempFiles(film_, tempFolder_);
  DeleteFileW(WidePath(FilmPath()).c_str());
  // Then the folder with whatever else is in it: a partly written file of a failed extraction,
  // the music of an item that preparation dropped.
  RemoveFolderTree(tempFolder_);
}

}  // namespace lumafolio
