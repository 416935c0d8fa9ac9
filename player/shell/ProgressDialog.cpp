#include "player/shell/ProgressDialog.h"

#include <commctrl.h>

#include <cstdio>

#include "player/shell/PlayerResources.h"

namespace lumafolio {

ProgressDialog::ProgressDialog(const std::string& title) : title_(title.substr(0, 63)) {}

void ProgressDialog::Open(HWND parent, HINSTANCE instance) {
  Close();
  window_ = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_PROGRESS), parent, DialogProc,
                               reinterpret_cast<LPARAM>(this));
  if (window_) ShowWindow(window_, SW_SHOWNORMAL);
}

void ProgressDialog::SetProgress(float fraction) {
  if (!window_) return;
  if (fraction < 0.0f) fraction = 0.0f;
  if (fraction > 1.0f) fraction = 1.0f;
  const auto position = static_cast<int>(fraction * 100.0);
  SendDlgItemMessageA(window_, IDC_PROGRESS_BAR, PBM_SETPOS, static_cast<WPARAM>(position), 0);
  // The label shows what the bar shows, so the two never disagree.
  const auto shown =
      static_cast<int>(SendDlgItemMessageA(window_, IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0));
  char text[16];
  std::snprintf(text, sizeof text, "%d%%", shown);
  SetDlgItemTextA(window_, IDC_PROGRESS_PERCENT, text);
  UpdateWindow(window_);
}

void ProgressDialog::Close() {
  if (window_) DestroyWindow(window_);
  window_ = nullptr;
}

INT_PTR CALLBACK ProgressDialog::DialogProc(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
  if (message != WM_INITDIALOG) return FALSE;
  const auto* self = reinterpret_cast<const ProgressDialog*>(lParam);
  SetDlgItemTextA(dialog, IDC_PROGRESS_TITLE, self->title_.c_str());
  SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_SETRANGE, 0, 0x640000);
  SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_SETSTEP, 10, 0);
  SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_SETPOS, 0, 0);
  SetDlgItemTextA(dialog, IDC_PROGRESS_PERCENT, "0%");
  return TRUE;
}

}  // namespace lumafolio
