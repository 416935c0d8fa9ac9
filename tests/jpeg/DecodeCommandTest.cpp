// filmtool decode: the player's decoder on a JPEG inside any file or a film's item, written as
// the bitmap the player makes or as the stage it shows, after the checks `build` makes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include "DcPicture.h"
#include "ReferenceCodec.h"
#include "core/jpeg/JpegDib.h"
#include "core/show/FitRect.h"
#include "tools/FilmtoolRun.h"
#include "tools/filmtool/Cli.h"
#include "tools/filmtool/JpegRewrite.h"
#include "tools/filmtool/PngFile.h"

namespace lumafolio {
namespace {

namespace fs = std::filesystem;

using test::Filmtool;
using test::ToolRun;

std::vector<uint8_t> ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

class DecodeCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ =
        fs::temp_directory_path() /
        ("lumafolio_decode_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }
  fs::path folder_;
};

TEST_F(DecodeCommand, WritesTheBitmapOfAJpegAtAnOffset) {
  test::DcPicture picture;
  picture.width = 801;
  picture.height = 20;
  picture.components = {{1, 2, 2, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}};
  picture.dc = [](int c, int bx, int by) { return (bx * 13 + by * 7 + c * 50) % 300 - 150; };
  const std::vector<uint8_t> jpeg = picture.Encode();
  const fs::path program = folder_ / "player.exe";
  {
    std::ofstream out(program, std::ios::binary);
    out << std::string(12345, 'M');
    out.write(reinterpret_cast<const char*>(jpeg.data()),
              static_cast<std::streamsize>(jpeg.size()));
    out << "trailing payload";
  }
  const fs::path bmp = folder_ / "slide.bmp";
  const ToolRun run =
      Filmtool({"decode", program.string(), "--offset", "12345", "-o", bmp.string()});
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<uint8_t> expected;
  ASSERT_TRUE(DecodeJpegToDib(jpeg, expected));
  EXPECT_EQ(ReadAll(bmp), expected);
  EXPECT_NE(run.out.find("808 x 20"), std::string::npos) << run.out;
}

TEST_F(DecodeCommand, RefusedPictureFailsWithTheReason) {
  const fs::path program = folder_ / "player.exe";
  std::ofstream(program, std::ios::binary) << "MZ no picture here";
  const fs::path bmp = folder_ / "slide.bmp";
  ToolRun run = Filmtool({"decode", program.string(), "-o", bmp.string()});
  EXPECT_NE(run.status, 0);
  EXPECT_NE(run.err.find("player.exe is neither a JPEG nor a PNG file"), std::string::npos)
      << run.err;
  EXPECT_FALSE(fs::exists(bmp));
  run = Filmtool({"decode", (folder_ / "missing.jpg").string(), "-o", bmp.string()});
  EXPECT_NE(run.status, 0);
  EXPECT_NE(run.err.find("cannot read"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("No such file"), std::string::npos) << run.err;  // and why
}

void Write(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

// The reasons `build` gives, not the decoder's first stumble; a progressive picture is shown as
// the baseline rewrite a film would carry.
TEST_F(DecodeCommand, SpeaksAsBuildDoes) {
  const std::vector<uint8_t> baseline = test::CompressPicture({});
  std::vector<uint8_t> twelveBit = baseline;
  const long sof = test::FindMarkerOffset(baseline, 0xC0);
  ASSERT_GT(sof, 0);
  twelveBit[static_cast<size_t>(sof) + 1] = 0xC1;
  twelveBit[static_cast<size_t>(sof) + 4] = 12;
  std::vector<uint8_t> lossless = baseline;
  lossless[static_cast<size_t>(sof) + 1] = 0xC3;
  const fs::path bmp = folder_ / "out.bmp";
  for (const auto& [jpeg, words] :
       {std::pair{test::CompressPicture({.arithmetic = true}), "is arithmetic-coded"},
        std::pair{twelveBit, "uses an extended sequential frame (12-bit samples"},
        std::pair{lossless, "is a lossless JPEG"}}) {
    SCOPED_TRACE(words);
    Write(folder_ / "odd.jpg", jpeg);
    const ToolRun run = Filmtool({"decode", (folder_ / "odd.jpg").string(), "-o", bmp.string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("odd.jpg " + std::string(words)), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(bmp));
  }

  const std::vector<uint8_t> progressive =
      test::CompressPicture({.width = 40, .height = 30, .progressive = true});
  Write(folder_ / "progressive.jpg", progressive);
  const ToolRun run =
      Filmtool({"decode", (folder_ / "progressive.jpg").string(), "-o", bmp.string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("decoded from its baseline rewrite"), std::string::npos) << run.out;
  std::vector<uint8_t> expected;
  ASSERT_TRUE(DecodeJpegToDib(RewriteAsBaseline(progressive), expected));
  EXPECT_EQ(ReadAll(bmp), expected);
}

// An item of a film program by its number, and the stage as the player fits a picture on it.
TEST_F(DecodeCommand, TakesAFilmItemAndFitsItToTheStage) {
  Write(folder_ / "wide.jpg", test::CompressPicture({.width = 64, .height = 40}));
  Write(folder_ / "tall.jpg", test::CompressPicture({.width = 48, .height = 96}));
  std::vector<uint8_t> player(0x44, 0);
  player[0] = 'M';
  player[1] = 'Z';
  player[0x3C] = 0x40;
  player[0x40] = 'P';
  player[0x41] = 'E';
  Write(folder_ / "player.exe", player);
  std::ofstream(folder_ / "film.toml")
      << "[[item]]\nfile = \"wide.jpg\"\n[[item]]\ntype = \"video\"\nfile = \"player.exe\"\n"
         "poster = \"tall.jpg\"\n";
  const std::string program = (folder_ / "show.exe").string();
  ASSERT_EQ(Filmtool({"build", (folder_ / "film.toml").string(), "-o", program, "--player",
                      (folder_ / "player.exe").string()})
                .status,
            0);

  const fs::path bmp = folder_ / "item.bmp";
  ASSERT_EQ(Filmtool({"decode", program, "--item", "2", "-o", bmp.string()}).status, 0);
  std::vector<uint8_t> expected;
  ASSERT_TRUE(DecodeJpegToDib(ReadAll(folder_ / "tall.jpg"), expected));
  EXPECT_EQ(ReadAll(bmp), expected);  // a video's picture is its poster

  // 64x40 fills the stage's width, 500 rows high, from row 50; 48x96 fills its height, 300 wide.
  for (const auto& [item, inside] :
       {std::pair{"1", Rect{0, 50, 800, 550}}, std::pair{"2", Rect{250, 0, 550, 600}}}) {
    SCOPED_TRACE(item);
    const fs::path png = folder_ / "stage.png";
    const ToolRun run =
        Filmtool({"decode", program, "--item", item, "--fitted", "-o", png.string()});
    ASSERT_EQ(run.status, 0) << run.err;
    const RgbImage stage = ReadPng(png.string());
    ASSERT_EQ(stage.width, 800);
    ASSERT_EQ(stage.height, 600);
    Rect shown{800, 600, 0, 0};  // what is not black
    for (int y = 0; y < 600; ++y) {
      for (int x = 0; x < 800; ++x) {
        const uint8_t* pixel = &stage.rgb[(static_cast<size_t>(y) * 800 + x) * 3];
        if (pixel[0] || pixel[1] || pixel[2]) {
          shown = {std::min(shown.left, x), std::min(shown.top, y), std::max(shown.right, x + 1),
                   std::max(shown.bottom, y + 1)};
        }
      }
    }
    EXPECT_EQ(shown, inside);
  }

  const ToolRun missing = Filmtool({"decode", program, "--item", "3", "-o", bmp.string()});
  EXPECT_NE(missing.err.find("there is no item 3: the film has 2 items"), std::string::npos)
      << missing.err;
}

}  // namespace
}  // namespace lumafolio
