#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "TempDir.h"
#include "core/payload/PlayerPayload.h"
#include "core/payload/StdioFile.h"

namespace lumafolio {
namespace {

class Payload : public ::testing::Test {
 protected:
  StdioFile Open(const std::string& bytes) {
    test::WriteBytes(path_, {bytes.begin(), bytes.end()});
    return OpenStdioFile(path_.c_str(), "rb");
  }
  test::TempDir dir_;
  std::string path_ = dir_.File("player.exe");
  std::string film_ = std::string(FilmMarker().data(), kFilmMarkerSize);
  std::string media_ = std::string(MediaMarker().data(), kMediaMarkerSize);
};

TEST_F(Payload, MarkerTexts) {
  EXPECT_EQ(film_, "LumafolioFilmDescription");
  EXPECT_EQ(media_, "LumafolioMediaDescription");
}

TEST_F(Payload, FindsTheFirstOccurrenceAndRewinds) {
  const std::string program(5000, 'P');
  StdioFile file = Open(program + "Lumafolio" + film_ + "film" + film_);
  const int64_t expected = 5000 + 9 + 24;
  EXPECT_EQ(FindMarker(file.get(), film_.data(), film_.size()), expected);
  EXPECT_EQ(std::ftell(file.get()), 0);
  // Searching again from a file left elsewhere still starts at the beginning.
  std::fseek(file.get(), 6000, SEEK_SET);
  EXPECT_EQ(FindMarker(file.get(), film_.data(), film_.size()), expected);
}

TEST_F(Payload, PartialMatchesDoNotHideTheMarker) {
  // "LumafolioLumafolioMedia..." restarts the match inside a failed one; a file buffer
  // boundary falls in the middle of the marker at some offset of this sweep.
  for (size_t pad : {0u, 1u, 4090u, 4095u, 4096u, 8191u}) {
    StdioFile file =
        Open(std::string(pad, 'x') + "LumafolioLumafolio" + media_.substr(9) + "x" + media_);
    EXPECT_EQ(FindMarker(file.get(), media_.data(), media_.size()), static_cast<int64_t>(pad + 34))
        << pad;
  }
}

TEST_F(Payload, MissingMarkerGivesZero) {
  StdioFile file = Open("LumafolioFilmDescriptio");  // one byte short
  EXPECT_EQ(FindMarker(file.get(), film_.data(), film_.size()), 0);
  EXPECT_EQ(std::ftell(file.get()), 0);
  StdioFile empty = Open("");
  EXPECT_EQ(FindMarker(empty.get(), film_.data(), film_.size()), 0);
}

TEST_F(Payload, LocatesBothPartsInOrder) {
  const std::string program(1000, 'p');
  const std::string filmFile(300, 'f');
  StdioFile file = Open(program + film_ + filmFile + media_);  // no media: the blob is empty
  const auto location = LocatePayload(file.get());
  ASSERT_TRUE(location.has_value());
  EXPECT_EQ(location->filmStart, 1024);
  EXPECT_EQ(location->mediaStart, 1024 + 300 + 25);
  EXPECT_EQ(location->FilmSize(), 300);
}

TEST_F(Payload, OneMarkerOrReversedMarkersMeanNoPayload) {
  StdioFile onlyFilm = Open("code" + film_ + "film");
  EXPECT_FALSE(LocatePayload(onlyFilm.get()).has_value());
  StdioFile onlyMedia = Open("code" + media_ + "media");
  EXPECT_FALSE(LocatePayload(onlyMedia.get()).has_value());
  StdioFile reversed = Open("code" + media_ + "film" + film_ + "media");
  EXPECT_FALSE(LocatePayload(reversed.get()).has_value());
}

}  // namespace
}  // namespace lumafolio
