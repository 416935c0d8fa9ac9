#include <gtest/gtest.h>

#include "core/show/FitRect.h"

namespace lumafolio {
namespace {

const Rect kStage{0, 0, 800, 600};

TEST(FitRectTest, FitsAndCentresKeepingTheAspect) {
  EXPECT_EQ(FitRect({0, 0, 640, 480}, kStage), (Rect{0, 0, 800, 600}));     // scaled up
  EXPECT_EQ(FitRect({0, 0, 1000, 500}, kStage), (Rect{0, 100, 800, 500}));  // wide: centred
  EXPECT_EQ(FitRect({0, 0, 300, 600}, kStage), (Rect{250, 0, 550, 600}));   // tall: centred
  EXPECT_EQ(FitRect({0, 0, 1920, 1080}, kStage), (Rect{0, 75, 800, 525}));  // 450 lines
  // 801 x 600 is a hair wider than 4:3: 800 x 599.25 -> 599 lines, 0 down ((600-599)/2 = 0).
  EXPECT_EQ(FitRect({0, 0, 801, 600}, kStage), (Rect{0, 0, 800, 599}));
  // A destination that does not start at the origin keeps its offset.
  EXPECT_EQ(FitRect({0, 0, 100, 100}, {10, 20, 210, 120}), (Rect{60, 20, 160, 120}));
}

TEST(FitRectTest, ASourceWithoutAreaGivesAnEmptyRectangle) {
  EXPECT_EQ(FitRect({0, 0, 0, 480}, kStage), (Rect{400, 300, 400, 300}));
  EXPECT_EQ(FitRect({0, 0, 640, 0}, kStage), (Rect{400, 300, 400, 300}));
  EXPECT_EQ(FitRect({0, 0, -5, 10}, kStage).Width(), 0);
}

}  // namespace
}  // namespace lumafolio
