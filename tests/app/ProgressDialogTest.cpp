#include <windows.h>

#include "player/shell/ProgressDialog.h"
// commctrl.h needs windows.h first
#include <commctrl.h>
#include <gtest/gtest.h>

#include "player/shell/PlayerResources.h"

namespace lumafolio {
namespace {

std::string Text(HWND dialog, int control) {
  char text[128] = {};
  GetDlgItemTextA(dialog, control, text, sizeof text);
  return text;
}

int BarPosition(HWND dialog) {
  return static_cast<int>(SendDlgItemMessageA(dialog, IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0));
}

TEST(ProgressDialog, ShowsTheTitleAndTheBarsOwnPosition) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  ProgressDialog progress("Processing");
  progress.SetProgress(0.5f);  // no window yet: nothing happens
  progress.Open(nullptr, GetModuleHandleA(nullptr));
  const HWND dialog = progress.window();
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(IsWindowVisible(dialog));
  EXPECT_EQ(Text(dialog, IDC_PROGRESS_TITLE), "Processing");
  EXPECT_EQ(Text(dialog, IDC_PROGRESS_PERCENT), "0%");
  EXPECT_EQ(BarPosition(dialog), 0);

  const struct {
    float fraction;
    const char* label;
  } steps[] = {{1.0f / 3, "33%"}, {2.0f / 3, "66%"}, {1.0f, "100%"}, {-0.5f, "0%"}, {7.0f, "100%"}};
  for (const auto& step : steps) {
    progress.SetProgress(step.fraction);
    EXPECT_EQ(Text(dialog, IDC_PROGRESS_PERCENT), step.label) << step.fraction;
    EXPECT_EQ(Text(dialog, IDC_PROGRESS_PERCENT), std::to_string(BarPosition(dialog)) + "%");
  }

  progress.Open(nullptr, GetModuleHandleA(nullptr));  // a second open replaces the window
  EXPECT_FALSE(IsWindow(dialog));
  const HWND second = progress.window();
  progress.Close();
  EXPECT_FALSE(IsWindow(second));
  EXPECT_EQ(progress.window(), nullptr);
}

TEST(ProgressDialog, KeepsAtMost63CharactersOfTheTitle) {
  ProgressDialog progress(std::string(70, 'a') + "b");
  progress.Open(nullptr, GetModuleHandleA(nullptr));
  ASSERT_NE(progress.window(), nullptr);
  EXPECT_EQ(Text(progress.window(), IDC_PROGRESS_TITLE), std::string(63, 'a'));
}

}  // namespace
}  // namespace lumafolio
