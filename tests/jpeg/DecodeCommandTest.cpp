// filmtool decode: the player's decoder on a JPEG inside any file, written as a BMP file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include "DcPicture.h"
#include "core/jpeg/JpegDib.h"
#include "tools/FilmtoolRun.h"
#include "tools/filmtool/Cli.h"

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
  EXPECT_NE(run.err.find("no baseline (SOF0) frame"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(bmp));
  run = Filmtool({"decode", (folder_ / "missing.jpg").string(), "-o", bmp.string()});
  EXPECT_NE(run.status, 0);
  EXPECT_NE(run.err.find("cannot read"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("No such file"), std::string::npos) << run.err;  // and why
}

}  // namespace
}  // namespace lumafolio
