#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <map>

#include "TempDir.h"
#include "player/shell/ItemPreparation.h"
#include "player/shell/TempFileCleanup.h"

namespace lumafolio {
namespace {

// A machine made to order: which players exist, which drives are CD-ROMs, what the film holds.
class FakeHost final : public PreparationHost {
 public:
  bool IsVideoPlaybackAvailable() override {
    ++checks;
    return video;
  }
  bool IsPptViewerInstalled() override {
    ++checks;
    return ppt;
  }
  unsigned DriveType(const char* root) override {
    const auto it = drives.find(root);
    return it == drives.end() ? DRIVE_NO_ROOT_DIR : it->second;
  }
  bool ReadFilm(FilmDocument& film, const std::string&) override {
    for (const FilmItem& item : items) film.AddItem(item);
    return readOk;
  }
  void OpenProgress() override { ++opened; }
  void SetProgress(float fraction) override { progress.push_back(fraction); }
  void CloseProgress() override { ++closed; }
  void ShowMessage(const char* text) override { messages.push_back(text); }

  bool video = true;
  bool ppt = true;
  bool readOk = true;
  std::map<std::string, unsigned> drives;
  std::vector<FilmItem> items;
  int checks = 0, opened = 0, closed = 0;
  std::vector<float> progress;
  std::vector<std::string> messages;
};

FilmItem Item(int32_t type, const std::string& media, const std::string& music = "0",
              int32_t musicMode = kMusicKeep) {
  FilmItem item;
  item.itemType = type;
  item.mediaFile = media;
  item.musicFile = music;
  item.musicMode = musicMode;
  return item;
}

class Preparing : public ::testing::Test {
 protected:
  Preparing() {
    std::filesystem::create_directories(temp_);
    paths_.program = dir_.File("player.exe");
    paths_.film = dir_.File("Film.flm");
    paths_.tempFolder = (temp_ / "").string();
    paths_.mediaStart = 5000;
    // The program: 5000 bytes of "code", then a recognisable byte at every offset.
    std::vector<uint8_t> program(20000);
    for (size_t i = 0; i < program.size(); ++i) program[i] = static_cast<uint8_t>(i % 253);
    test::WriteBytes(paths_.program, program);
  }

  bool Prepare() { return PrepareItems(host_, film_, paths_); }
  std::string Media(int32_t position) { return film_.GetItem(position).mediaFile; }
  std::vector<uint8_t> ProgramBytes(size_t offset, size_t size) {
    const auto all = test::ReadBytes(paths_.program);
    return {all.begin() + static_cast<ptrdiff_t>(offset),
            all.begin() + static_cast<ptrdiff_t>(offset + size)};
  }

  test::TempDir dir_;
  std::filesystem::path temp_ = dir_.path() / "temp";
  PreparationPaths paths_;
  FakeHost host_;
  FilmDocument film_;
};

TEST_F(Preparing, PicturesBecomeOffsetsInTheProgram) {
  host_.items = {Item(kItemPicture, "100"), Item(kItemPicture, "200.jpg"),
                 Item(kItemPicture, "300")};
  ASSERT_TRUE(Prepare());
  EXPECT_EQ(Media(1), "5000");
  EXPECT_EQ(Media(2), "5100");
  EXPECT_EQ(Media(3), "5300");
  for (int32_t position = 1; position <= 3; ++position) {
    EXPECT_EQ(film_.GetItem(position).posterImage, "-1");
    EXPECT_EQ(film_.GetItem(position).endPicture, "-1");
    EXPECT_EQ(film_.GetItem(position).musicFile, "0");  // "0" is no file: nothing extracted
  }
  EXPECT_EQ(host_.progress, (std::vector<float>{1.0f / 3, 2.0f / 3, 1.0f}));
  EXPECT_EQ(host_.opened, 1);
  EXPECT_EQ(host_.closed, 1);
  EXPECT_TRUE(host_.messages.empty());
  EXPECT_TRUE(std::filesystem::is_empty(temp_));
}

TEST_F(Preparing, PosterComesBeforeTheMediaFile) {
  FilmItem first = Item(kItemPicture, "100");
  first.posterImage = "50";
  host_.items = {first, Item(kItemPicture, "7")};
  ASSERT_TRUE(Prepare());
  EXPECT_EQ(film_.GetItem(1).posterImage, "5000");
  EXPECT_EQ(Media(1), "5050");
  EXPECT_EQ(Media(2), "5150");
}

TEST_F(Preparing, ExtractsVideoPowerPointAndMusicFiles) {
  FilmItem video = Item(kItemVideo, "3000-clip.avi", "1500-song.wav", kMusicFile);
  video.posterImage = "40";
  video.endPicture = "60";
  host_.items = {video, Item(kItemPowerPoint, "2100-show.pps"), Item(kItemPicture, "10")};
  ASSERT_TRUE(Prepare());

  const FilmItem prepared = film_.GetItem(1);
  EXPECT_EQ(prepared.posterImage, "5000");
  EXPECT_EQ(prepared.mediaFile, paths_.tempFolder + "3000-clip.avi");
  EXPECT_EQ(prepared.endPicture, "8040");
  EXPECT_EQ(prepared.musicFile, paths_.tempFolder + "1500-song.wav");
  EXPECT_EQ(test::ReadBytes(prepared.mediaFile), ProgramBytes(5040, 3000));
  EXPECT_EQ(test::ReadBytes(prepared.musicFile), ProgramBytes(8100, 1500));
  EXPECT_EQ(test::ReadBytes(Media(2)), ProgramBytes(9600, 2100));
  EXPECT_EQ(Media(3), "11700");
}

TEST_F(Preparing, UnplayableItemsGoButTheirBytesAreStillSkipped) {
  host_.video = false;
  host_.items = {Item(kItemVideo, "100-a.avi", "30-a.wav", kMusicFile), Item(kItemPicture, "7"),
                 Item(kItemVideo, "200-b.avi"), Item(kItemVideo, "300-c.avi"),
                 Item(kItemPicture, "9")};
  ASSERT_TRUE(Prepare());
  ASSERT_EQ(film_.ItemCount(), 2);
  EXPECT_EQ(Media(1), "5130");  // after the removed video and its music
  EXPECT_EQ(Media(2), "5637");
  EXPECT_EQ(host_.messages, (std::vector<std::string>{"Cannot play video file"}));
  EXPECT_EQ(host_.progress.size(), 5u);
  EXPECT_FLOAT_EQ(host_.progress.back(), 1.0f);
  // The music of a removed item is extracted all the same, as the offsets depend on it.
  EXPECT_TRUE(std::filesystem::exists(temp_ / "30-a.wav"));
  EXPECT_FALSE(std::filesystem::exists(temp_ / "100-a.avi"));
}

TEST_F(Preparing, AFilmOfUnplayableShowsEndsEmptyButStarts) {
  host_.ppt = false;
  host_.video = false;
  host_.items = {Item(kItemPowerPoint, "10-a.pps"), Item(kItemPowerPoint, "20-b.pps"),
                 Item(kItemVideo, "5-v.avi")};
  EXPECT_TRUE(Prepare());
  EXPECT_EQ(film_.ItemCount(), 0);
  EXPECT_EQ(host_.messages,
            (std::vector<std::string>{"Cannot play video file", "Cannot play PowerPoint file"}));
}

TEST_F(Preparing, CdTracksGoToTheFirstCdRomDrive) {
  host_.items = {Item(kItemPicture, "10", "C:\\Music\\Track02.cda", kMusicCdTrack),
                 Item(kItemPicture, "20")};
  host_.drives = {{"C:\\", DRIVE_FIXED}, {"E:\\", DRIVE_CDROM}, {"F:\\", DRIVE_CDROM}};
  ASSERT_TRUE(Prepare());
  EXPECT_EQ(film_.GetItem(1).musicFile, "E:\\Track02.cda");
  EXPECT_EQ(film_.GetItem(1).musicMode, kMusicCdTrack);
  EXPECT_EQ(Media(2), "5010");  // CD tracks take no bytes in the program
}

TEST_F(Preparing, CdTracksWithoutADriveKeepTheMusicPlaying) {
  host_.items = {Item(kItemPicture, "10", "Track02.cda", kMusicCdTrack)};
  host_.drives = {{"C:\\", DRIVE_CDROM}};  // C: is never searched
  ASSERT_TRUE(Prepare());
  EXPECT_EQ(film_.GetItem(1).musicFile, "Track02.cda");
  EXPECT_EQ(film_.GetItem(1).musicMode, kMusicKeep);
}

TEST_F(Preparing, NamesThatLeaveTheTemporaryFolderAreRefused) {
  for (const char* name : {"..\\100-x.exe", "C:\\100-x.exe", "sub\\..\\..\\100-x.exe"}) {
    FilmDocument film;
    host_.items = {Item(kItemPicture, "10"), Item(kItemVideo, name)};
    host_.closed = 0;
    EXPECT_FALSE(PrepareItems(host_, film, paths_)) << name;
    EXPECT_EQ(host_.closed, 1) << name;
    EXPECT_EQ(film.GetItem(1).mediaFile, "5000") << name;  // prepared before the failure
  }
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "100-x.exe"));
  EXPECT_TRUE(std::filesystem::is_empty(temp_));
}

TEST_F(Preparing, FilmNamesBecomeUtf8PathsInAFolderTheCodePageCannotSpell) {
  if (GetACP() != 1252) GTEST_SKIP() << "the film's name is written in code page 1252";
  const std::filesystem::path folder = temp_ / std::filesystem::path(u8"\u5199\u771F");
  std::filesystem::create_directories(folder);
  const std::u8string utf8 = (folder / "").u8string();
  paths_.tempFolder.assign(utf8.begin(), utf8.end());
  host_.items = {Item(kItemVideo, "3000-clip.avi", "1500-caf\xE9.wav", kMusicFile)};
  ASSERT_TRUE(Prepare());
  const FilmItem prepared = film_.GetItem(1);
  EXPECT_EQ(prepared.musicFile, paths_.tempFolder + "1500-caf\xC3\xA9.wav");
  EXPECT_EQ(std::filesystem::file_size(folder / u8"1500-caf\u00E9.wav"), 1500u);
  EXPECT_EQ(std::filesystem::file_size(folder / "3000-clip.avi"), 3000u);
  DeleteItemTempFiles(film_, paths_.tempFolder);
  EXPECT_TRUE(std::filesystem::is_empty(folder));
}

TEST_F(Preparing, FailedExtractionStopsPreparation) {
  host_.items = {Item(kItemPicture, "10"), Item(kItemPicture, "20", "99999-big.wav", kMusicFile)};
  EXPECT_FALSE(Prepare());
  EXPECT_EQ(host_.opened, 1);
  EXPECT_EQ(host_.closed, 1);
  EXPECT_EQ(Media(1), "5000");
}

TEST_F(Preparing, NothingToPrepare) {
  EXPECT_FALSE(Prepare());  // a film without items
  EXPECT_EQ(host_.opened, 0);
  EXPECT_EQ(host_.checks, 2);  // the machine is asked every time, before the film is read

  host_.items = {Item(kItemPicture, "10")};
  host_.readOk = false;
  EXPECT_FALSE(Prepare());
  paths_.film.clear();
  host_.readOk = true;
  FilmDocument film;
  EXPECT_FALSE(PrepareItems(host_, film, paths_));
  EXPECT_EQ(film.ItemCount(), 0);
  EXPECT_EQ(host_.opened, 0);
}

}  // namespace
}  // namespace lumafolio
