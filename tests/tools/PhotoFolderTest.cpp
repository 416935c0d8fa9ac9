// Films made straight from a folder of photos: order, Exif orientation, conversion and
// shrinking, and the description `filmtool new` writes for the same film.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "FilmtoolRun.h"
#include "ReferenceCodec.h"
#include "TempDir.h"
#include "tools/filmtool/ExifOrientation.h"
#include "tools/filmtool/PictureConvert.h"
#include "tools/filmtool/PngFile.h"
#include "tools/filmtool/TempFiles.h"

namespace lumafolio {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using test::Filmtool;

// Smooth, so that JPEG keeps it close, and different along every axis and direction, so that
// a picture turned or mirrored wrongly is far from it.
Pixels Scene(int width, int height) {
  Pixels scene{width, height, 3, {}};
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      scene.data.push_back(static_cast<uint8_t>(x * 255 / width));
      scene.data.push_back(static_cast<uint8_t>(y * 255 / height));
      scene.data.push_back(static_cast<uint8_t>(64 + (x + y) * 128 / (width + height)));
    }
  }
  return scene;
}

// The upright scene as a camera lying on its side stores it: orientation 6 (stored turned a
// quarter left) or 3 (upside down).
Pixels AsStored(const Pixels& upright, int orientation) {
  Pixels stored = upright;
  if (orientation == 6) std::swap(stored.width, stored.height);
  for (int sy = 0; sy < stored.height; ++sy) {
    for (int sx = 0; sx < stored.width; ++sx) {
      const int x = orientation == 6 ? upright.width - 1 - sy : upright.width - 1 - sx;
      const int y = orientation == 6 ? sx : upright.height - 1 - sy;
      for (int c = 0; c < 3; ++c) {
        stored.data[(static_cast<size_t>(sy) * stored.width + sx) * 3 + c] =
            upright.data[(static_cast<size_t>(y) * upright.width + x) * 3 + c];
      }
    }
  }
  return stored;
}

void Put16(std::vector<uint8_t>& out, unsigned value, bool big) {
  out.push_back(static_cast<uint8_t>(big ? value >> 8 : value));
  out.push_back(static_cast<uint8_t>(big ? value : value >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t value, bool big) {
  Put16(out, big ? value >> 16 : value & 0xFFFF, big);
  Put16(out, big ? value & 0xFFFF : value >> 16, big);
}

// A TIFF block as cameras write it: IFD0 with the orientation and the Exif IFD pointer, the
// Exif IFD with DateTimeOriginal. `exifIfd` and `dateAt` may be set to point anywhere.
std::vector<uint8_t> Tiff(int orientation, const std::string& date, bool big, uint32_t exifIfd = 38,
                          uint32_t dateAt = 56) {
  std::vector<uint8_t> tiff = {static_cast<uint8_t>(big ? 'M' : 'I'),
                               static_cast<uint8_t>(big ? 'M' : 'I')};
  Put16(tiff, 42, big);
  Put32(tiff, 8, big);
  Put16(tiff, 2, big);  // IFD0 at 8: two entries, then the next IFD's offset
  Put16(tiff, 0x0112, big), Put16(tiff, 3, big), Put32(tiff, 1, big);
  Put16(tiff, static_cast<unsigned>(orientation), big), Put16(tiff, 0, big);
  Put16(tiff, 0x8769, big), Put16(tiff, 4, big), Put32(tiff, 1, big), Put32(tiff, exifIfd, big);
  Put32(tiff, 0, big);
  Put16(tiff, 1, big);  // the Exif IFD at 38
  Put16(tiff, 0x9003, big), Put16(tiff, 2, big), Put32(tiff, 20, big), Put32(tiff, dateAt, big);
  Put32(tiff, 0, big);
  tiff.insert(tiff.end(), date.begin(), date.end());  // at 56
  tiff.push_back(0);
  return tiff;
}

// The JPEG with an Exif APP1 segment holding `tiff` right after its start-of-image marker.
std::vector<uint8_t> WithExif(const std::vector<uint8_t>& jpeg, const std::vector<uint8_t>& tiff) {
  std::vector<uint8_t> app1 = {0xFF, 0xE1, 0, 0, 'E', 'x', 'i', 'f', 0, 0};
  app1.insert(app1.end(), tiff.begin(), tiff.end());
  app1[2] = static_cast<uint8_t>((app1.size() - 2) >> 8);
  app1[3] = static_cast<uint8_t>(app1.size() - 2);
  std::vector<uint8_t> out = jpeg;
  out.insert(out.begin() + 2, app1.begin(), app1.end());
  return out;
}

double MeanDifference(const Pixels& a, const Pixels& b) {
  if (a.width != b.width || a.height != b.height || a.data.size() != b.data.size()) return 1e9;
  double sum = 0;
  for (size_t i = 0; i < a.data.size(); ++i) sum += std::abs(a.data[i] - b.data[i]);
  return sum / static_cast<double>(a.data.size());
}

class PhotoFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(photos_);
    test::WriteBytes(dir_.File("player.exe"),
                     test::WindowsProgram(std::vector<uint8_t>(3000, 0x90)));
  }

  void Photo(const std::string& name, const std::vector<uint8_t>& bytes) {
    test::WriteBytes((photos_ / name).string(), bytes);
  }

  test::ToolRun Build(const std::string& source, const std::string& output,
                      std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"build",           source,     "-o",
                                     dir_.File(output), "--player", dir_.File("player.exe")};
    args.insert(args.end(), extra.begin(), extra.end());
    return Filmtool(args);
  }

  Json Inspect(const std::string& program) {
    const test::ToolRun run = Filmtool({"inspect", "--json", dir_.File(program)});
    EXPECT_EQ(run.status, 0) << run.err;
    return Json::parse(run.out);
  }

  // The stored pictures of a program, in film order.
  std::vector<std::vector<uint8_t>> Stored(const std::string& program) {
    const fs::path out = dir_.path() / (program + ".out");
    const test::ToolRun run = Filmtool({"extract", dir_.File(program), "-d", out.string()});
    EXPECT_EQ(run.status, 0) << run.err;
    std::vector<std::vector<uint8_t>> pictures;
    const Json film = Inspect(program);
    for (const Json& item : film["items"]) {
      pictures.push_back(ReadWholeFile(out / item["media_file"].get<std::string>()));
    }
    return pictures;
  }

  test::TempDir dir_;
  fs::path photos_ = dir_.path() / "photos";
};

TEST_F(PhotoFolder, TurnsPhotosUprightInNaturalNameOrder) {
  const Pixels plain = Scene(40, 30);
  const Pixels quarter = Scene(64, 48);     // whole 16x16 blocks either way: a lossless turn
  const Pixels upsideDown = Scene(61, 45);  // partial blocks: re-encoded
  Photo("img1.jpg", EncodeJpeg(plain, 95));
  Photo("img2.jpg", WithExif(EncodeJpeg(AsStored(quarter, 6), 95), Tiff(6, "", false)));
  Photo("img10.JPG", WithExif(EncodeJpeg(AsStored(upsideDown, 3), 95), Tiff(3, "", true)));
  Photo(".hidden.jpg", {1, 2, 3});
  Photo("notes.txt", {1, 2, 3});
  fs::create_directories(photos_ / "sub.jpg");

  const test::ToolRun run = Build(photos_.string(), "show.exe");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("img2.jpg: turned upright losslessly\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("img10.JPG: turned upright by re-encoding at quality 95\n"),
            std::string::npos)
      << run.out;

  const std::vector<std::vector<uint8_t>> stored = Stored("show.exe");
  ASSERT_EQ(stored.size(), 3u);
  const Pixels* upright[] = {&plain, &quarter, &upsideDown};
  for (size_t k = 0; k < 3; ++k) {
    SCOPED_TRACE(k);
    EXPECT_LT(MeanDifference(DecodeJpeg(stored[k], "stored"), *upright[k]), 2.0);
    // No viewer may turn it a second time.
    EXPECT_EQ(ReadExif(stored[k]).orientation, 1);
  }
  const Json film = Inspect("show.exe");
  EXPECT_EQ(film["loop"], 1);
  EXPECT_EQ(film["items"][1]["image_width"], 64);
  EXPECT_EQ(film["items"][1]["duration_seconds"], 5);
  EXPECT_EQ(film["items"][1]["transition_steps"], 60);
}

TEST_F(PhotoFolder, NewWritesTheDescriptionOfTheSameFilm) {
  const std::vector<uint8_t> jpeg = EncodeJpeg(Scene(32, 32), 90);
  Photo("b.jpg", WithExif(jpeg, Tiff(1, "2021:06:01 10:00:00", true)));
  Photo("a.jpg", WithExif(jpeg, Tiff(8, "2021:06:01 09:00:00", false)));
  Photo("c10.jpeg", jpeg);  // no date: after the dated ones, by file time
  Photo("c9.jpg", EncodeJpeg(Scene(16, 24), 90));
  // Written within the file system's time resolution, the two would tie; c9 is made the older.
  const auto written = std::filesystem::last_write_time(photos_ / "c10.jpeg");
  std::filesystem::last_write_time(photos_ / "c9.jpg", written - std::chrono::seconds(60));

  const std::string film = dir_.File("film.toml");
  const std::vector<std::string> options = {"--sort",       "date", "--duration", "7",
                                            "--transition", "curl", "--stage",    "1280x720"};
  std::vector<std::string> args = {"new", photos_.string(), "-o", film};
  args.insert(args.end(), options.begin(), options.end());
  ASSERT_EQ(Filmtool(args).status, 0);
  ASSERT_EQ(Build(photos_.string(), "folder.exe", options).status, 0);
  const test::ToolRun built = Build(film, "described.exe");
  ASSERT_EQ(built.status, 0) << built.err;
  const Json folderFilm = Inspect("folder.exe");
  EXPECT_EQ(folderFilm, Inspect("described.exe"));
  std::vector<std::string> order;
  for (const Json& item : folderFilm["items"]) {
    const std::string name = item["media_file"];
    order.push_back(name.substr(name.find('-') + 1));  // after the size
  }
  EXPECT_EQ(order, (std::vector<std::string>{"a.jpg", "b.jpg", "c9.jpg", "c10.jpeg"}));
  EXPECT_EQ(folderFilm["items"][0]["duration_seconds"], 7);
  EXPECT_EQ(folderFilm["stage"], "1280x720");

  const std::string toml = [&] {
    std::ifstream in(film);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }();
  EXPECT_NE(toml.find("duration = 7\ntransition = \"curl\"\nsteps = 60\n\n[[item]]\nfile = "
                      "\"photos/a.jpg\""),
            std::string::npos)
      << toml;
  const test::ToolRun again = Filmtool({"new", photos_.string(), "-o", film});
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.err.find("pass --force"), std::string::npos) << again.err;
  EXPECT_EQ(Filmtool({"new", photos_.string(), "-o", film, "--force"}).status, 0);
}

TEST_F(PhotoFolder, ConvertsWhatThePlayerCannotShowOnlyWhenAsked) {
  const Pixels scene = Scene(50, 40);
  RgbImage png{scene.width, scene.height, scene.data};
  WritePng((photos_ / "drawing.png").string(), png);
  test::CorpusPicture cmyk;
  cmyk.components = 4;
  cmyk.lumaH = cmyk.lumaV = 1;
  Photo("print.jpg", test::CompressPicture(cmyk));

  const test::ToolRun refused = Build(photos_.string(), "show.exe");
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("print.jpg has four colour components"), std::string::npos);
  EXPECT_NE(refused.err.find("use --convert to store it as a baseline JPEG"), std::string::npos)
      << refused.err;
  EXPECT_FALSE(fs::exists(dir_.File("show.exe")));

  const test::ToolRun converted = Build(photos_.string(), "show.exe", {"--convert"});
  ASSERT_EQ(converted.status, 0) << converted.err;
  EXPECT_NE(converted.out.find("drawing.png: converted to a baseline JPEG at quality 92"),
            std::string::npos);
  const std::string name = Inspect("show.exe")["items"][0]["media_file"];
  EXPECT_EQ(name.substr(name.find('-')), "-drawing.jpg") << "named for what it holds";
  const std::vector<std::vector<uint8_t>> stored = Stored("show.exe");
  ASSERT_EQ(stored.size(), 2u);
  EXPECT_LT(MeanDifference(DecodeJpeg(stored[0], "stored"), scene), 2.0);
  EXPECT_EQ(DecodeJpeg(stored[1], "stored").channels, 3);
}

TEST_F(PhotoFolder, MaxSizeFitsLargePicturesInsideTheBox) {
  Photo("wide.jpg", EncodeJpeg(Scene(400, 300), 95));
  Photo("tall.jpg", WithExif(EncodeJpeg(AsStored(Scene(300, 400), 6), 95), Tiff(6, "", false)));
  Photo("small.jpg", EncodeJpeg(Scene(80, 60), 95));
  const test::ToolRun run = Build(photos_.string(), "show.exe", {"--max-size", "100x100"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("shrank 2 pictures: "), std::string::npos) << run.out;
  const std::vector<std::vector<uint8_t>> stored = Stored("show.exe");
  ASSERT_EQ(stored.size(), 3u);
  EXPECT_EQ(DecodeJpeg(stored[0], "small").width, 80);
  EXPECT_LT(MeanDifference(DecodeJpeg(stored[1], "tall"), Scene(75, 100)), 3.0);
  EXPECT_LT(MeanDifference(DecodeJpeg(stored[2], "wide"), Scene(100, 75)), 3.0);
  const test::ToolRun bad = Build(photos_.string(), "bad.exe", {"--max-size", "100"});
  EXPECT_NE(bad.status, 0);
  EXPECT_NE(bad.err.find("--max-size takes WIDTHxHEIGHT"), std::string::npos) << bad.err;
}

TEST(ExifReading, HostileBlocksAreReadWithoutLeavingThem) {
  const std::vector<uint8_t> jpeg = EncodeJpeg(Scene(16, 16), 90);
  const std::string date = "2020:01:02 03:04:05";
  ExifInfo good = ReadExif(WithExif(jpeg, Tiff(6, date, true)));
  EXPECT_EQ(good.orientation, 6);
  EXPECT_EQ(good.dateTimeOriginal, date);

  const std::vector<std::vector<uint8_t>> hostile = {
      Tiff(6, date, false, 0xFFFFFFF0u),          // Exif IFD far outside
      Tiff(6, date, false, 8),                    // Exif IFD is IFD0 again
      Tiff(6, date, false, 38, 0xFFFFFFFFu),      // date outside
      Tiff(6, date, false, 38, 60),               // date runs past the end
      Tiff(9, date, false),                       // no such orientation
      {'I', 'I', 42, 0, 0xF0, 0xFF, 0xFF, 0xFF},  // IFD0 outside
      {'M', 'M', 0, 42, 0, 0, 0, 8, 0xFF, 0xFF},  // 65535 entries, none there
      {'I', 'I', 42},                             // truncated header
  };
  for (size_t k = 0; k < hostile.size(); ++k) {
    SCOPED_TRACE(k);
    std::vector<uint8_t> picture = WithExif(jpeg, hostile[k]);
    const ExifInfo info = ReadExif(picture);
    EXPECT_TRUE(info.orientation == 1 || info.orientation == 6);
    EXPECT_TRUE(info.dateTimeOriginal.empty() || info.dateTimeOriginal == date);
    ClearExifOrientation(picture);
    EXPECT_EQ(ReadExif(picture).orientation, 1);
  }
  EXPECT_TRUE(ReadExif(WithExif(jpeg, Tiff(6, date, false, 38, 60))).dateTimeOriginal.empty());
  // An APP1 segment whose length runs past the file.
  std::vector<uint8_t> cut = WithExif(jpeg, Tiff(6, date, true));
  cut.resize(30);
  EXPECT_EQ(ReadExif(cut).orientation, 1);
}

}  // namespace
}  // namespace lumafolio
