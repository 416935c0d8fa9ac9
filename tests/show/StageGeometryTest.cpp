// Which stage a film gets on a given screen, and where its captions stand on a larger one.
#include <gtest/gtest.h>

#include "core/show/StageGeometry.h"

namespace lumafolio {
namespace {

Rect Size(const StageGeometry& stage) { return stage.Bounds(); }

TEST(StageGeometry, AFilmsStageOnScreensOfEverySize) {
  const FilmStage classic;
  const FilmStage screen{FilmStage::Kind::kScreen};
  const FilmStage sized{FilmStage::Kind::kSized, 1920, 1080};
  EXPECT_EQ(Size(StageGeometry::ForFilm(classic, 3840, 2160)), (Rect{0, 0, 800, 600}));
  EXPECT_EQ(Size(StageGeometry::ForFilm(classic, 640, 480)), (Rect{0, 0, 800, 600}));
  EXPECT_EQ(Size(StageGeometry::ForFilm(screen, 2560, 1440)), (Rect{0, 0, 2560, 1440}));
  EXPECT_EQ(Size(StageGeometry::ForFilm(sized, 2560, 1600)), (Rect{0, 0, 1920, 1080}));
  // A monitor too small for the film's own size: the largest of its shape that fits.
  EXPECT_EQ(Size(StageGeometry::ForFilm(sized, 1280, 1024)), (Rect{0, 0, 1280, 720}));
  EXPECT_TRUE(StageGeometry::ForFilm(screen, 800, 600).Classic());
}

TEST(StageGeometry, CaptionsGrowAroundTheCentredClassicArea) {
  Caption caption;
  caption.left = 100;
  caption.top = 50;
  caption.font.height = -20;
  caption.font.width = 5;
  EXPECT_EQ(StageGeometry(800, 600).PlaceCaption(caption), caption);

  // 1920 x 1080: 1.8 times, the 800 x 600 area 1440 wide from x = 240.
  const Caption wide = StageGeometry(1920, 1080).PlaceCaption(caption);
  EXPECT_EQ(wide.left, 240 + 180);
  EXPECT_EQ(wide.top, 90);
  EXPECT_EQ(wide.font.height, -36);
  EXPECT_EQ(wide.font.width, 9);
  EXPECT_EQ(wide.text, caption.text);

  // 1280 x 1024: 1.6 times, the area 960 high from y = 32.
  const Caption tall = StageGeometry(1280, 1024).PlaceCaption(caption);
  EXPECT_EQ(tall.left, 160);
  EXPECT_EQ(tall.top, 32 + 80);
  EXPECT_EQ(tall.font.height, -32);
}

}  // namespace
}  // namespace lumafolio
