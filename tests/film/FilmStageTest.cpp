#include <gtest/gtest.h>

#include "core/film/FilmStage.h"

namespace lumafolio {
namespace {

using Kind = FilmStage::Kind;

TEST(FilmStage, NamesParseBackAndOtherTextsAreRefused) {
  for (const char* name : {"classic", "screen", "1920x1080", "800x600", "7680x4320", "1921x1081"}) {
    const std::optional<FilmStage> stage = ParseFilmStage(name);
    ASSERT_TRUE(stage.has_value()) << name;
    EXPECT_EQ(FilmStageName(*stage), name);
    EXPECT_EQ(StageFromStreamText(StageStreamText(*stage)), *stage) << name;
  }
  EXPECT_EQ(ParseFilmStage("Screen"), (FilmStage{Kind::kScreen, 0, 0}));
  EXPECT_EQ(ParseFilmStage("1280X720"), (FilmStage{Kind::kSized, 1280, 720}));
  for (const char* text :
       {"", "full", "1920x", "x1080", "1920*1080", "1920x1080x2", " 1920x1080", "-800x600",
        "799x600", "800x599", "7681x4320", "7680x4321", "99999999999x600"}) {
    std::string reason;
    EXPECT_FALSE(ParseFilmStage(text, &reason).has_value()) << text;
    EXPECT_FALSE(reason.empty()) << text;
  }
  // In the film file: other keys and blanks are read past, and the last stage given counts.
  EXPECT_EQ(StageFromStreamText("later = 1\n  stage\t=  screen  \r\nstage = 1280x720"),
            (FilmStage{Kind::kSized, 1280, 720}));
}

}  // namespace
}  // namespace lumafolio
