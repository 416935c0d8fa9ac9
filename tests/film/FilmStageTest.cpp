#include <gtest/gtest.h>

#include "core/film/FilmStage.h"

namespace lumafolio {
namespace {

using Kind = FilmStage::Kind;

TEST(FilmStage, NamesParseBackAndBadOnesAreRefused) {
  const struct {
    const char* text;
    FilmStage stage;
    const char* name;
  } good[] = {
      {"classic", {}, "classic"},
      {"Screen", {Kind::kScreen, 0, 0}, "screen"},
      {"1920x1080", {Kind::kSized, 1920, 1080}, "1920x1080"},
      {"800X600", {Kind::kSized, 800, 600}, "800x600"},
      {"7680x4320", {Kind::kSized, 7680, 4320}, "7680x4320"},
      {"1921x1081", {Kind::kSized, 1921, 1081}, "1921x1081"},
  };
  for (const auto& c : good) {
    SCOPED_TRACE(c.text);
    const std::optional<FilmStage> stage = ParseFilmStage(c.text);
    ASSERT_TRUE(stage.has_value());
    EXPECT_EQ(*stage, c.stage);
    EXPECT_EQ(FilmStageName(*stage), c.name);
    EXPECT_EQ(ParseFilmStage(FilmStageName(*stage)), stage);
  }
  for (const char* text :
       {"", "full", "1920x", "x1080", "1920*1080", "1920x1080x2", " 1920x1080", "-800x600",
        "799x600", "800x599", "7681x4320", "7680x4321", "99999999999x600"}) {
    std::string reason;
    EXPECT_FALSE(ParseFilmStage(text, &reason).has_value()) << text;
    EXPECT_FALSE(reason.empty()) << text;
  }
}

TEST(FilmStage, StreamTextKeepsKnownStagesAndFallsBackToClassic) {
  const FilmStage sized{Kind::kSized, 2560, 1440};
  EXPECT_EQ(StageStreamText({Kind::kScreen, 0, 0}), "stage = screen\r\n");
  EXPECT_EQ(StageFromStreamText(StageStreamText(sized)), sized);
  // Other keys, blanks, bare line feeds and a missing last line end are all read past.
  EXPECT_EQ(StageFromStreamText("later = 1\n  stage\t=  screen  \r\nmore"),
            (FilmStage{Kind::kScreen, 0, 0}));
  EXPECT_EQ(StageFromStreamText("stage = screen\r\nstage = 1280x1024"),
            (FilmStage{Kind::kSized, 1280, 1024}));
  for (const char* text :
       {"", "stage = dome\r\n", "stage = 640x480", "stages = screen", "stage screen"}) {
    EXPECT_EQ(StageFromStreamText(text), FilmStage{}) << text;
  }
  EXPECT_EQ(StageFromStreamText(std::string_view("stage = scr\0een", 15)), FilmStage{});
}

}  // namespace
}  // namespace lumafolio
