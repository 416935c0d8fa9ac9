#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>

#include "TempDir.h"
#include "player/shell/TempFileCleanup.h"

namespace lumafolio {
namespace {

TEST(TempFileCleanup, KnowsWhatLiesInsideTheFolder) {
  const std::string temp = "C:\\users\\me\\Temp\\";
  EXPECT_TRUE(IsInsideFolder("C:\\users\\me\\Temp\\12-a.avi", temp));
  EXPECT_TRUE(IsInsideFolder("c:\\USERS\\me\\temp\\sub\\12-a.avi", temp));
  EXPECT_FALSE(IsInsideFolder("C:\\users\\me\\Temp\\..\\12-a.avi", temp));
  EXPECT_FALSE(IsInsideFolder("C:\\users\\me\\Temp\\sub\\..\\..\\x", temp));
  EXPECT_FALSE(IsInsideFolder("C:\\users\\me\\Temporary\\x", temp));
  EXPECT_FALSE(IsInsideFolder("C:\\users\\me\\Temp\\", temp));
  EXPECT_FALSE(IsInsideFolder("0", temp));
  EXPECT_FALSE(IsInsideFolder("E:\\Track02.cda", temp));
  EXPECT_FALSE(IsInsideFolder("", temp));
}

TEST(TempFileCleanup, DeletesOnlyWhatPreparationExtracted) {
  test::TempDir dir;
  const std::filesystem::path temp = dir.path() / "temp";
  std::filesystem::create_directories(temp);
  const std::string folder = (temp / "").string();
  auto make = [](const std::filesystem::path& path) {
    test::WriteBytes(path.string(), {1});
    return path.string();
  };

  FilmDocument film;
  FilmItem picture;
  picture.itemType = kItemPicture;
  picture.mediaFile = make(temp / "5000");  // a picture's offset that happens to name a file
  picture.musicFile = "0";
  film.AddItem(picture);
  FilmItem video;
  video.itemType = kItemVideo;
  video.mediaFile = make(temp / "100-v.avi");
  video.musicFile = make(temp / "20-v.wav");
  film.AddItem(video);
  FilmItem show;
  show.itemType = kItemPowerPoint;
  show.mediaFile = make(temp / "300-s.pps");
  show.musicFile = folder + "..\\" + "outside.wav";  // a name that leads out of the folder
  film.AddItem(show);
  const std::string outside = make(dir.path() / "outside.wav");
  const std::string readOnly = make(temp / "40-r.wav");
  SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
  FilmItem keep;
  keep.itemType = kItemPicture;
  keep.musicFile = readOnly;
  film.AddItem(keep);

  DeleteItemTempFiles(film, folder);
  EXPECT_TRUE(std::filesystem::exists(picture.mediaFile));
  EXPECT_FALSE(std::filesystem::exists(video.mediaFile));
  EXPECT_FALSE(std::filesystem::exists(video.musicFile));
  EXPECT_FALSE(std::filesystem::exists(show.mediaFile));
  EXPECT_TRUE(std::filesystem::exists(outside));
  EXPECT_TRUE(std::filesystem::exists(readOnly));  // a file that cannot be deleted stays
  DeleteItemTempFiles(film, folder);               // a second pass finds nothing and is fine
  SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace
}  // namespace lumafolio
