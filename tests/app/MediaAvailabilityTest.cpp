#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

#include "player/shell/MediaAvailability.h"

namespace lumafolio {
namespace {

constexpr char kViewerKey[] = "SOFTWARE\\MICROSOFT\\OFFICE\\8.0\\POWERPOINT\\VIEWER\\8.0";

// The viewer's "Path" value: `path` as a value of `type`.
void SetViewerPath(const char* path, DWORD type = REG_SZ) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kViewerKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, "Path", 0, type, reinterpret_cast<const BYTE*>(path),
                 static_cast<DWORD>(std::strlen(path) + 1));
  RegCloseKey(key);
}

TEST(MediaAvailability, ViewerCountsOnlyWhenItsProgramIsThere) {
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, kViewerKey);
  EXPECT_FALSE(IsPptViewerInstalled());

  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  SetViewerPath(self);  // any program that exists stands in for the viewer
  EXPECT_TRUE(IsPptViewerInstalled());
  SetViewerPath(self, REG_BINARY);  // not a path, whatever its bytes
  EXPECT_FALSE(IsPptViewerInstalled());
  SetViewerPath("C:\\no\\such\\PPTVIEW.EXE");
  EXPECT_FALSE(IsPptViewerInstalled());
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, kViewerKey);
}

TEST(MediaAvailability, FirstCdRomDriveFromDOnwards) {
  EXPECT_EQ(FindCdRomDrive([](const char* root) -> unsigned {
              return root[0] == 'C' || root[0] == 'G' || root[0] == 'K' ? DRIVE_CDROM : DRIVE_FIXED;
            }),
            "G:\\");
  EXPECT_EQ(FindCdRomDrive([](const char* root) -> unsigned {
              return root[0] == 'Z' ? DRIVE_CDROM : DRIVE_NO_ROOT_DIR;
            }),
            "Z:\\");
  EXPECT_EQ(FindCdRomDrive([](const char*) -> unsigned { return DRIVE_REMOTE; }), "");
}

TEST(MediaAvailability, DirectShowFilterGraphExists) {
  // wine ships DirectShow's filter graph, as every Windows since 98 does.
  EXPECT_TRUE(IsVideoPlaybackAvailable());
}

}  // namespace
}  // namespace lumafolio
