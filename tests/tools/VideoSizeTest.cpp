// The size a video item is fitted to the stage as: the frame size its AVI headers declare, the
// size the description gives, or its poster's.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "FilmtoolRun.h"
#include "ReferenceCodec.h"
#include "TempDir.h"
#include "TestAvi.h"
#include "tools/filmtool/AviFrameSize.h"

namespace lumafolio {
namespace {

using test::Filmtool;

TEST(AviFrameSize, ReadsTheVideoStreamsFormatAndRefusesWhatIsNoAvi) {
  test::TempDir dir;
  const std::string path = dir.File("clip.avi");
  struct Case {
    const char* what;
    test::TestAviSpec spec;
    int width;
    int height;
  };
  const Case cases[] = {
      {"plain", {.width = 20, .height = 12}, 20, 12},
      {"junk before the headers", {.width = 32, .height = 18, .junk = true}, 32, 18},
      {"top-down frames", {.width = 8, .height = -6}, 8, 6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::WriteBytes(path, test::MakeTestAvi(c.spec));
    const std::optional<FrameSize> size = ReadAviFrameSize(path);
    ASSERT_TRUE(size);
    EXPECT_EQ(size->width, c.width);
    EXPECT_EQ(size->height, c.height);
  }

  std::vector<uint8_t> avi = test::MakeTestAvi({.width = 20, .height = 12});
  // Whatever the main header says, the stream's own format counts.
  avi[12 + 8 + 4 + 8 + 32] = 99;  // RIFF head, LIST head, 'hdrl', avih head, dwWidth
  test::WriteBytes(path, avi);
  ASSERT_TRUE(ReadAviFrameSize(path));
  EXPECT_EQ(ReadAviFrameSize(path)->width, 20);

  const std::vector<std::vector<uint8_t>> refused = {
      {},                                                   // empty
      std::vector<uint8_t>(avi.begin(), avi.begin() + 60),  // cut inside the header list
      std::vector<uint8_t>(3000, 0x5A),                     // noise
      test::MakeTestAvi({.width = 0, .height = 12}),        // no area
  };
  for (size_t i = 0; i < refused.size(); ++i) {
    test::WriteBytes(path, refused[i]);
    EXPECT_FALSE(ReadAviFrameSize(path)) << i;
  }
  EXPECT_FALSE(ReadAviFrameSize(dir.File("missing.avi")));
}

TEST(VideoItemSize, FromTheVideoAsGivenOrFromThePoster) {
  test::TempDir dir;
  test::CorpusPicture poster;
  poster.width = 64;
  poster.height = 40;
  poster.lumaH = poster.lumaV = 1;
  test::WriteBytes(dir.File("poster.jpg"), test::CompressPicture(poster));
  test::WriteBytes(dir.File("wide.avi"), test::MakeTestAvi({.width = 32, .height = 18}));
  test::WriteBytes(dir.File("clip.mpg"), std::vector<uint8_t>(500, 0x47));
  test::WriteBytes(dir.File("player.exe"), std::vector<uint8_t>(100, 0x90));
  const std::string video = "[[item]]\ntype = \"video\"\nposter = \"poster.jpg\"\n";
  const std::string description = video + "file = \"wide.avi\"\n" +  // its own frames
                                  video +
                                  "file = \"wide.avi\"\nimage_width = 4\nimage_height = 3\n" +
                                  video + "file = \"clip.mpg\"\n";  // no AVI: as the poster
  test::WriteBytes(dir.File("film.toml"), {description.begin(), description.end()});

  const test::ToolRun build = Filmtool({"build", dir.File("film.toml"), "-o", dir.File("show.exe"),
                                        "--player", dir.File("player.exe")});
  ASSERT_EQ(build.status, 0) << build.err;
  EXPECT_NE(build.out.find("clip.mpg: no frame size found"), std::string::npos) << build.out;
  EXPECT_EQ(build.out.find("wide.avi: no frame size"), std::string::npos) << build.out;
  const test::ToolRun inspect = Filmtool({"inspect", dir.File("show.exe"), "--json"});
  ASSERT_EQ(inspect.status, 0) << inspect.err;
  const nlohmann::json items = nlohmann::json::parse(inspect.out)["items"];
  const std::pair<int, int> expected[] = {{32, 18}, {4, 3}, {64, 40}};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(items[i]["image_width"], expected[i].first) << i;
    EXPECT_EQ(items[i]["image_height"], expected[i].second) << i;
  }
}

}  // namespace
}  // namespace lumafolio
