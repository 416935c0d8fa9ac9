// filmtool transition: pictures fitted to the stage as the player shows them, every frame of the
// player's own effect written out, and clear refusals.
#include <gtest/gtest.h>

#include <filesystem>

#include "FilmtoolRun.h"
#include "ReferenceCodec.h"
#include "TempDir.h"
#include "tools/filmtool/PngFile.h"

namespace lumafolio {
namespace {

using test::Filmtool;
using test::TempDir;
using test::ToolRun;

RgbImage Solid(int width, int height, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  RgbImage image{width, height, {}};
  for (int i = 0; i < width * height; ++i) image.rgb.insert(image.rgb.end(), {r, g, b});
  return image;
}

// The colour of one pixel, as "r,g,b".
std::string ColourAt(const RgbImage& image, int x, int y) {
  const std::uint8_t* p = image.rgb.data() + (static_cast<std::size_t>(y) * image.width + x) * 3;
  return std::to_string(p[0]) + "," + std::to_string(p[1]) + "," + std::to_string(p[2]);
}

class TransitionCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    WritePng(red_, Solid(400, 300, 255, 0, 0));    // 4:3, scaled up to fill the stage
    WritePng(blue_, Solid(1000, 500, 0, 0, 255));  // 2:1, 800 x 400, 100 lines down
  }
  TempDir folder_;
  std::string red_ = folder_.File("red.png");
  std::string blue_ = folder_.File("blue.png");
};

// Push-down halfway shows the bottom half of B in the top half of the stage and the top half of
// A below it; B's black bands come along with it.
TEST_F(TransitionCommand, WritesEveryFrameOfTheStage) {
  const std::string frames = folder_.File("frames");
  ToolRun run = Filmtool({"transition", "push-down", "--from", red_, "--to", blue_, "--steps", "4",
                          "--frames", frames});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("5 frames"), std::string::npos) << run.out;

  const RgbImage first = ReadPng(frames + "/frame-000.png");
  ASSERT_EQ(first.width, 800);
  ASSERT_EQ(first.height, 600);
  EXPECT_EQ(ColourAt(first, 0, 0), "255,0,0");
  EXPECT_EQ(ColourAt(first, 799, 599), "255,0,0");

  const RgbImage middle = ReadPng(frames + "/frame-002.png");
  EXPECT_EQ(ColourAt(middle, 400, 0), "0,0,255");    // B's line 300
  EXPECT_EQ(ColourAt(middle, 400, 199), "0,0,255");  // B's line 499
  EXPECT_EQ(ColourAt(middle, 400, 200), "0,0,0");    // B's lower black band
  EXPECT_EQ(ColourAt(middle, 400, 300), "255,0,0");  // A's top line

  const RgbImage last = ReadPng(frames + "/frame-004.png");
  EXPECT_EQ(ColourAt(last, 10, 99), "0,0,0");
  EXPECT_EQ(ColourAt(last, 10, 100), "0,0,255");
  EXPECT_EQ(ColourAt(last, 10, 499), "0,0,255");
  EXPECT_EQ(ColourAt(last, 10, 500), "0,0,0");
  EXPECT_FALSE(std::filesystem::exists(frames + "/frame-005.png"));
}

// A JPEG goes through the player's decoder; the sheet holds every frame, shrunk four times.
TEST_F(TransitionCommand, DrawsAContactSheetFromJpegs) {
  test::CorpusPicture picture;
  picture.width = 64;
  picture.height = 48;
  test::WriteBytes(folder_.File("a.jpg"), test::CompressPicture(picture));
  const std::string sheet = folder_.File("sheet.png");
  ToolRun run = Filmtool({"transition", "23", "--from", folder_.File("a.jpg"), "--to", blue_,
                          "--steps", "11", "--sheet", sheet});
  ASSERT_EQ(run.status, 0) << run.err;
  const RgbImage image = ReadPng(sheet);
  EXPECT_EQ(image.width, 6 * 200 + 7 * 4);  // six frames a row, gaps of 4
  EXPECT_EQ(image.height, 2 * 150 + 3 * 4);
}

TEST_F(TransitionCommand, RefusesWhatItCannotDraw) {
  const std::string sheet = folder_.File("sheet.png");
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  test::WriteBytes(folder_.File("notes.txt"), {'h', 'i', '!', '!'});
  const Case cases[] = {
      {{"transition", "sparkle", "--from", red_, "--to", blue_, "--sheet", sheet},
       "unknown transition"},
      {{"transition", "59", "--from", red_, "--to", blue_, "--sheet", sheet}, "outside 0..58"},
      {{"transition", "fade", "--from", folder_.File("notes.txt"), "--to", blue_, "--sheet", sheet},
       "neither a JPEG nor a PNG"},
      {{"transition", "fade", "--from", folder_.File("missing.png"), "--to", blue_, "--sheet",
        sheet},
       "cannot read"},
      {{"transition", "fade", "--from", red_, "--to", blue_}, "nothing to write"},
      {{"transition", "fade", "--from", red_, "--to", blue_, "--steps", "0", "--sheet", sheet},
       "--steps"},
  };
  for (const Case& c : cases) {
    ToolRun run = Filmtool(c.args);
    EXPECT_EQ(run.status, 1) << c.message;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
  }
  EXPECT_FALSE(std::filesystem::exists(sheet));
}

}  // namespace
}  // namespace lumafolio
