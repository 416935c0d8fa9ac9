#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <functional>
#include <set>
#include <utility>
#include <vector>

#include "StagePictures.h"
#include "core/effects/EffectLibrary.h"
#include "core/effects/EffectRandom.h"
#include "core/effects/transitions/TransitionRoutines.h"

namespace lumafolio::testing {
namespace {

using transitions::Blinds;
using transitions::Blocks;
using transitions::Burn;
using transitions::Cut;
using transitions::Fade;
using transitions::Flash;
using transitions::Push;
using transitions::Slide;
using transitions::Stretch;
using transitions::Wipe;

// What a pixel should be, given its column and its line counted from the top of the screen.
using ExpectedPixel = std::function<const std::uint8_t*(int x, int line)>;

::testing::AssertionResult ScreenMatches(const StagePicture& out, const ExpectedPixel& expected) {
  for (int line = 0; line < out.height; ++line) {
    for (int x = 0; x < out.width; ++x) {
      const std::uint8_t* got = out.AtScreen(x, line);
      const std::uint8_t* want = expected(x, line);
      if (std::memcmp(got, want, 3) != 0) {
        return ::testing::AssertionFailure()
               << "pixel " << x << " on line " << line << " is (" << int{got[0]} << ", "
               << int{got[1]} << ", " << int{got[2]} << "), expected (" << int{want[0]} << ", "
               << int{want[1]} << ", " << int{want[2]} << ")";
      }
    }
  }
  return ::testing::AssertionSuccess();
}

bool SamePixel(const std::uint8_t* a, const std::uint8_t* b) { return std::memcmp(a, b, 3) == 0; }

EffectParams ParamsFor(TransitionRun& run, int step, int lastStep, EffectEdge direction,
                       int variant) {
  EffectParams params = run.Params(step, lastStep);
  params.direction = direction;
  params.variant = variant;
  return params;
}

// ---------------------------------------------------------------------------------------------
// Push, Slide and Wipe in strips (directions top and bottom) and bands (right and left).

// Where a strip's pixel comes from, in screen lines, while B has taken `j` lines of it.
const std::uint8_t* PushedLine(const TransitionRun& run, int x, int line, bool fromTop, int j) {
  const int h = run.out.height;
  if (fromTop) return line < j ? run.to.AtScreen(x, h - j + line) : run.from.AtScreen(x, line - j);
  return line >= h - j ? run.to.AtScreen(x, line - (h - j)) : run.from.AtScreen(x, line + j);
}

TEST(PushTest, SingleStripFromTopHalfWayShowsBsBottomOverAsTop) {
  TransitionRun run(8, 6);
  EffectLibrary library;
  EffectParams params = run.Params(1, 2);
  library.RunTransitionEffect(30, kEffectStep, &params);
  EXPECT_TRUE(ScreenMatches(run.out, [&](int x, int line) {
    return line < 3 ? run.to.AtScreen(x, line + 3) : run.from.AtScreen(x, line - 3);
  }));
}

TEST(PushTest, EightStripsAlternateDownAndUp) {
  TransitionRun run(32, 20);  // strips of 4 columns
  EffectLibrary library;
  EffectParams params = run.Params(3, 10);  // 6 lines of B
  library.RunTransitionEffect(0, kEffectStep, &params);
  EXPECT_TRUE(ScreenMatches(run.out, [&](int x, int line) {
    const bool evenStrip = (x / 4) % 2 == 0;  // strips 0, 2, 4, 6 move down
    return PushedLine(run, x, line, evenStrip, 6);
  }));
}

TEST(PushTest, DirectionSixteenStartsFromTheBottom) {
  EffectState state;
  TransitionRun run(12, 10);
  Push(kEffectStep, ParamsFor(run, 2, 5, kEdgeBottom, 3),
       state);  // 4 lines of B, strips of 4 columns
  EXPECT_TRUE(ScreenMatches(
      run.out, [&](int x, int line) { return PushedLine(run, x, line, (x / 4) % 2 == 1, 4); }));
}

TEST(PushTest, TheLastStripTakesTheRemainingColumns) {
  EffectState state;
  TransitionRun run(19, 7);  // 8 strips of 2 columns, the last one of 5 (columns 14 to 18)
  Push(kEffectStep, ParamsFor(run, 1, 2, kEdgeTop, 8), state);
  EXPECT_TRUE(ScreenMatches(run.out, [&](int x, int line) {
    return PushedLine(run, x, line, std::min(x / 2, 7) % 2 == 0, 3);
  }));
}

TEST(PushTest, BandsMoveSidewaysAndTheLastBandTakesTheRemainingLines) {
  EffectState state;
  TransitionRun run(8, 19);  // 8 bands of 2 lines from the bottom, the last one of 5
  Push(kEffectStep, ParamsFor(run, 1, 4, kEdgeRight, 8), state);  // 2 columns of B
  EXPECT_TRUE(ScreenMatches(run.out, [&](int x, int line) {
    const int row = 18 - line;
    const int band = std::min(row / 2, 7);
    if (band % 2 == 0) {  // B enters from the right, A moves left
      return x < 6 ? run.from.AtScreen(x + 2, line) : run.to.AtScreen(x - 6, line);
    }
    return x < 2 ? run.to.AtScreen(x + 6, line) : run.from.AtScreen(x - 2, line);
  }));
}

TEST(PushTest, DirectionSixtyFourEntersFromTheLeftFirst) {
  EffectState state;
  TransitionRun run(10, 4);
  Push(kEffectStep, ParamsFor(run, 3, 10, kEdgeLeft, 2), state);  // 3 columns; bands of 2 lines
  EXPECT_TRUE(ScreenMatches(run.out, [&](int x, int line) {
    const bool firstBand = line >= 2;  // the bottom band
    if (firstBand) return x < 3 ? run.to.AtScreen(x + 7, line) : run.from.AtScreen(x - 3, line);
    return x < 7 ? run.from.AtScreen(x + 3, line) : run.to.AtScreen(x - 7, line);
  }));
}

TEST(SlideTest, HalfWayHasCoveredAnEighth) {
  EffectState state;
  TransitionRun run(16, 16);
  Slide(kEffectStep, ParamsFor(run, 1, 2, kEdgeTop, 1), state);
  // B slides in from the top showing its bottom edge; A stays in place.
  EXPECT_TRUE(ScreenMatches(run.out, [&](int x, int line) {
    return line < 2 ? run.to.AtScreen(x, line + 14) : run.from.AtScreen(x, line);
  }));
  Slide(kEffectStep, ParamsFor(run, 1, 2, kEdgeRight, 1), state);
  EXPECT_TRUE(ScreenMatches(run.out, [&](int x, int line) {
    return x >= 14 ? run.to.AtScreen(x - 14, line) : run.from.AtScreen(x, line);
  }));
}

TEST(SlideTest, BandsAlternateOverAStillPicture) {
  EffectState state;
  TransitionRun run(20, 8);
  Slide(kEffectStep, ParamsFor(run, 4, 5, kEdgeLeft, 4),
        state);  // 0.512 × 20: 10 columns; bands of 2 lines
  EXPECT_TRUE(ScreenMatches(run.out, [&](int x, int line) {
    const int band = (7 - line) / 2;
    if (band % 2 == 0) return x < 10 ? run.to.AtScreen(x + 10, line) : run.from.AtScreen(x, line);
    return x >= 10 ? run.to.AtScreen(x - 10, line) : run.from.AtScreen(x, line);
  }));
}

TEST(WipeTest, HalfWayHasUncoveredAnEighthInPlace) {
  EffectState state;
  TransitionRun run(16, 16);
  Wipe(kEffectStep, ParamsFor(run, 1, 2, kEdgeBottom, 1), state);
  EXPECT_TRUE(ScreenMatches(run.out, [&](int x, int line) {
    return line >= 14 ? run.to.AtScreen(x, line) : run.from.AtScreen(x, line);
  }));
  Wipe(kEffectStep, ParamsFor(run, 1, 2, kEdgeLeft, 1), state);
  EXPECT_TRUE(ScreenMatches(run.out, [&](int x, int line) {
    return x < 2 ? run.to.AtScreen(x, line) : run.from.AtScreen(x, line);
  }));
}

TEST(WipeTest, StripsAlternateAndEndOnB) {
  EffectState state;
  TransitionRun run(16, 10);
  Wipe(kEffectStep, ParamsFor(run, 4, 5, kEdgeTop, 8), state);  // 0.512 × 10: 5 lines
  EXPECT_TRUE(ScreenMatches(run.out, [&](int x, int line) {
    const bool fromTop = (x / 2) % 2 == 0;
    const bool isB = fromTop ? line < 5 : line >= 5;
    return isB ? run.to.AtScreen(x, line) : run.from.AtScreen(x, line);
  }));
  Wipe(kEffectStep, ParamsFor(run, 5, 5, kEdgeTop, 8), state);
  EXPECT_EQ(run.out.bytes, run.to.bytes);
}

// ---------------------------------------------------------------------------------------------
// Stretch

TEST(StretchTest, StartsOnAAndRepeatsTheFrontLine) {
  EffectState state;
  TransitionRun run(6, 10);
  Stretch(kEffectStep, ParamsFor(run, 0, 10, kEdgeTop, 1), state);
  EXPECT_EQ(run.out.bytes, run.from.bytes);

  // From the bottom: 3 lines of B, every line above them a copy of B's fourth line.
  Stretch(kEffectStep, ParamsFor(run, 3, 10, kEdgeTop, 1), state);
  EXPECT_TRUE(ScreenMatches(run.out, [&](int x, int line) {
    return line >= 7 ? run.to.AtScreen(x, line) : run.to.AtScreen(x, 6);
  }));
  // From the top: the lines below repeat the lowest uncovered one.
  Stretch(kEffectStep, ParamsFor(run, 3, 10, kEdgeBottom, 1), state);
  EXPECT_TRUE(ScreenMatches(run.out, [&](int x, int line) {
    return line < 3 ? run.to.AtScreen(x, line) : run.to.AtScreen(x, 2);
  }));
}

TEST(StretchTest, RepeatsTheFrontColumn) {
  EffectState state;
  TransitionRun run(10, 4);
  Stretch(kEffectStep, ParamsFor(run, 4, 10, kEdgeRight, 1), state);
  EXPECT_TRUE(ScreenMatches(run.out,
                            [&](int x, int line) { return run.to.AtScreen(x < 4 ? x : 4, line); }));
  Stretch(kEffectStep, ParamsFor(run, 4, 10, kEdgeLeft, 1), state);
  EXPECT_TRUE(ScreenMatches(
      run.out, [&](int x, int line) { return run.to.AtScreen(x >= 6 ? x : 6, line); }));
  Stretch(kEffectStep, ParamsFor(run, 10, 10, kEdgeLeft, 1), state);
  EXPECT_EQ(run.out.bytes, run.to.bytes);
}

TEST(StretchTest, FirstStepsBeforeAnyLineIsUncoveredRepeatTheEdge) {
  EffectState state;
  TransitionRun run(5, 4);
  // 4 × 1 / 100 and 5 × 1 / 100 uncover nothing, yet A is already gone.
  Stretch(kEffectStep, ParamsFor(run, 1, 100, kEdgeBottom, 1), state);
  EXPECT_TRUE(ScreenMatches(run.out, [&](int x, int) { return run.to.AtScreen(x, 0); }));
  Stretch(kEffectStep, ParamsFor(run, 1, 100, kEdgeTop, 1), state);
  EXPECT_TRUE(ScreenMatches(run.out, [&](int x, int) { return run.to.AtScreen(x, 3); }));
  Stretch(kEffectStep, ParamsFor(run, 1, 100, kEdgeLeft, 1), state);
  EXPECT_TRUE(ScreenMatches(run.out, [&](int, int line) { return run.to.AtScreen(4, line); }));
  Stretch(kEffectStep, ParamsFor(run, 1, 100, kEdgeRight, 1), state);
  EXPECT_TRUE(ScreenMatches(run.out, [&](int, int line) { return run.to.AtScreen(0, line); }));
}

// ---------------------------------------------------------------------------------------------
// Blinds

TEST(BlindsTest, HorizontalBandsStartAtTheRoundedDownFraction) {
  EffectState state;
  TransitionRun run(3, 10);  // 4 bands: rows 0-1, 2-4, 5-6, 7-9 from the bottom
  Blinds(kEffectStep, ParamsFor(run, 1, 2, kEdgeTop, 4), state);
  const std::set<int> bRows = {0, 2, 5, 7};  // one line of B at the bottom of each band
  EXPECT_TRUE(ScreenMatches(run.out, [&](int x, int line) {
    return bRows.count(9 - line) ? run.to.AtScreen(x, line) : run.from.AtScreen(x, line);
  }));
  Blinds(kEffectStep, ParamsFor(run, 1, 2, kEdgeBottom, 4), state);
  EXPECT_TRUE(ScreenMatches(run.out, [&](int x, int line) {
    return bRows.count(9 - line) ? run.from.AtScreen(x, line) : run.to.AtScreen(x, line);
  }));
}

TEST(BlindsTest, VerticalBandsWithTheLastTakingTheRemainingColumns) {
  EffectState state;
  TransitionRun run(11, 3);  // 4 bands of 2 columns, the last one columns 6 to 10
  Blinds(kEffectStep, ParamsFor(run, 1, 2, kEdgeRight, 4),
         state);  // ⌊⌊11 × 50 / 100⌋ / 4⌋ = 1 column of B
  const std::set<int> leftSides = {0, 2, 4, 6};
  EXPECT_TRUE(ScreenMatches(run.out, [&](int x, int line) {
    return leftSides.count(x) ? run.to.AtScreen(x, line) : run.from.AtScreen(x, line);
  }));
  Blinds(kEffectStep, ParamsFor(run, 1, 2, kEdgeLeft, 4), state);
  const std::set<int> rightSides = {1, 3, 5, 10};
  EXPECT_TRUE(ScreenMatches(run.out, [&](int x, int line) {
    return rightSides.count(x) ? run.to.AtScreen(x, line) : run.from.AtScreen(x, line);
  }));
}

TEST(BlindsTest, ProgressIsTakenInSinglePrecision) {
  EffectState state;
  // 7 / 10 in single precision lies just below 0.7, so 0.7 × 160 / 16 = 7 comes out as 6 lines;
  // 9 / 10 likewise leaves (1 − p) × 160 / 16 just above 1.
  TransitionRun run(2, 160);
  Blinds(kEffectStep, ParamsFor(run, 7, 10, kEdgeTop, 16), state);
  EXPECT_TRUE(ScreenMatches(run.out, [&](int x, int line) {
    return (159 - line) % 10 < 6 ? run.to.AtScreen(x, line) : run.from.AtScreen(x, line);
  }));
  Blinds(kEffectStep, ParamsFor(run, 9, 10, kEdgeBottom, 16), state);
  EXPECT_TRUE(ScreenMatches(run.out, [&](int x, int line) {
    return (159 - line) % 10 < 1 ? run.from.AtScreen(x, line) : run.to.AtScreen(x, line);
  }));
}

// ---------------------------------------------------------------------------------------------
// Cut and Fade

TEST(CutTest, SwitchesAtHalfTheLastStep) {
  EffectState state;
  TransitionRun run(5, 3);
  for (int step = 0; step <= 100; ++step) {
    Cut(kEffectStep, run.Params(step, 100), state);
    EXPECT_EQ(run.out.bytes, step < 50 ? run.from.bytes : run.to.bytes) << step;
  }
  // 7 / 2 = 3: steps 0 to 2 still show A.
  Cut(kEffectStep, run.Params(2, 7), state);
  EXPECT_EQ(run.out.bytes, run.from.bytes);
  Cut(kEffectStep, run.Params(3, 7), state);
  EXPECT_EQ(run.out.bytes, run.to.bytes);
}

TEST(FadeTest, BlendRoundsTowardMinusInfinity) {
  EffectState state;
  // 21 × 13 pixels: a row is not a multiple of 16 bytes, so the tail of the picture is blended
  // separately from the bulk.
  TransitionRun run(21, 13);
  // A byte falling from 200 to 60 at weight 100: 200 + ⌊−14000 / 256⌋ = 145 (truncating the
  // quotient would give 146). And one rising from 3 to 250.
  std::uint8_t* a = run.from.Pixel(20, 12);
  std::uint8_t* b = run.to.Pixel(20, 12);
  a[0] = 200, b[0] = 60, a[1] = 3, b[1] = 250;
  Fade(kEffectStep, run.Params(100, 256), state);
  EXPECT_EQ(run.out.Pixel(20, 12)[0], 145);
  EXPECT_EQ(run.out.Pixel(20, 12)[1], 3 + 247 * 100 / 256);

  for (const auto& [step, last] : {std::pair{1, 3}, {2, 3}, {17, 40}, {99, 100}}) {
    Fade(kEffectStep, run.Params(step, last), state);
    const int weight = step * 256 / last;
    for (int row = 0; row < 13; ++row) {
      for (int i = 0; i < 21 * 3; ++i) {
        const int from = run.from.Pixel(0, row)[i];
        const int to = run.to.Pixel(0, row)[i];
        const int want = from + static_cast<int>(std::floor(weight * (to - from) / 256.0));
        ASSERT_EQ(run.out.Pixel(0, row)[i], want) << "byte " << i << " of row " << row;
      }
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Flash

int GreyNegative(const std::uint8_t* pixel) {
  return 255 - (3 * pixel[0] + 4 * pixel[1] + 2 * pixel[2]) / 9;
}

// Checks every byte of `run.out` against want(channel of A, channel of B, grey negative of A).
void ExpectFlash(const TransitionRun& run, const std::function<int(int, int, int)>& want) {
  for (int row = 0; row < run.out.height; ++row) {
    for (int x = 0; x < run.out.width; ++x) {
      const int grey = GreyNegative(run.from.Pixel(x, row));
      for (int c = 0; c < 3; ++c) {
        ASSERT_EQ(run.out.Pixel(x, row)[c],
                  want(run.from.Pixel(x, row)[c], run.to.Pixel(x, row)[c], grey))
            << "pixel " << x << ", row " << row << ", channel " << c;
      }
    }
  }
}

class FlashTest : public ::testing::Test {
 protected:
  FlashTest() : run(13, 7) {
    // A white pixel, whose negative is black, and a black one, whose negative is white.
    std::memset(run.from.Pixel(0, 0), 255, 3);
    std::memset(run.from.Pixel(1, 0), 0, 3);
    EffectParams begin = run.Params(0, 100);
    Flash(kEffectBegin, begin, state);
  }
  ~FlashTest() override { Flash(kEffectEnd, EffectParams{}, state); }

  void Step(int step, int last) { Flash(kEffectStep, run.Params(step, last), state); }

  EffectState state;
  TransitionRun run;
};

TEST_F(FlashTest, AFadesIntoItsGreyNegative) {
  Step(0, 10);
  EXPECT_EQ(run.out.bytes, run.from.bytes);
  Step(1, 10);  // e = 256
  ExpectFlash(run, [](int a, int, int grey) { return (256 * grey + 768 * a) >> 10; });
  Step(2, 5);  // p = 0.4 exactly is still the first phase, e = 1024: the bare negative
  ExpectFlash(run, [](int, int, int grey) { return grey; });
}

TEST_F(FlashTest, TheNegativeBrightensToWhite) {
  Step(3, 5);  // e = 765 − 0.5 × 1020 = 255
  ExpectFlash(run, [](int, int, int grey) {
    const int v = 4 * grey - 255;
    return v <= grey ? grey : std::min(v, 255);
  });
  // e = 765 − 0.875 × 1020 = −127.5, truncated to −127: the black negative becomes 127.
  Step(3, 4);
  EXPECT_EQ(run.out.Pixel(0, 0)[0], 127);
  EXPECT_EQ(run.out.Pixel(1, 0)[2], 255);
  Step(4, 5);  // p = 0.8: e = −255, all white
  ExpectFlash(run, [](int, int, int) { return 255; });
}

TEST_F(FlashTest, BEmergesFromWhite) {
  Step(81, 100);  // e = ⌊0.05 × 1024⌋ = 51
  ExpectFlash(run, [](int, int b, int) { return (255 * (1024 - 51) + 51 * b) >> 10; });
  Step(9, 10);  // e = 512
  ExpectFlash(run, [](int, int b, int) { return (255 * 512 + 512 * b) >> 10; });
  Step(10, 10);
  EXPECT_EQ(run.out.bytes, run.to.bytes);
}

TEST(FlashBrighteningTest, EveryGreyFollowsTheTable) {
  EffectState state;
  // Greys 0 to 255 and one more pixel, so that some bytes fall outside whole blocks of 16.
  TransitionRun run(257, 1);
  for (int x = 0; x < 257; ++x) std::memset(run.from.Pixel(x, 0), x & 255, 3);
  for (int step = 401; step <= 800; step += 3) {
    Flash(kEffectStep, run.Params(step, 1000), state);
    const double p = step / 1000.0;
    const int e = static_cast<int>(765 - (2.5 * p - 1) * 1020);
    ExpectFlash(run, [e](int, int, int grey) {
      const int v = 4 * grey - e;
      return v <= grey ? grey : (v > 254 ? 255 : v);
    });
    if (::testing::Test::HasFatalFailure()) FAIL() << "step " << step;
  }
  Flash(kEffectEnd, EffectParams{}, state);
}

TEST(FlashStateTest, WorksOutTheNegativeOfTheStepsPictureWithoutBegin) {
  EffectState state;
  TransitionRun first(6, 4);
  Flash(kEffectStep, first.Params(2, 5), state);
  TransitionRun second(6, 4);
  std::memset(second.from.bytes.data(), 0, second.from.bytes.size());
  Flash(kEffectStep, second.Params(2, 5), state);  // a different A: its own negative, all white
  EXPECT_TRUE(ScreenMatches(second.out, [](int, int) {
    static const std::uint8_t white[3] = {255, 255, 255};
    return white;
  }));
  Flash(kEffectEnd, EffectParams{}, state);
}

// ---------------------------------------------------------------------------------------------
// Blocks

class BlocksTest : public ::testing::Test {
 protected:
  void TearDown() override { Blocks(kEffectEnd, EffectParams{}, state); }

  EffectState state;

  // Checks that at `step` of 100 every cell of `cell` pixels shows B exactly when its threshold,
  // drawn in cell order from the bottom row of cells, is at most the step.
  void ExpectCells(int w, int h, int variant, int cell, int step) {
    EffectSrand(4242);
    std::vector<int> thresholds(static_cast<std::size_t>(w / cell) * (h / cell));
    for (int& threshold : thresholds) threshold = EffectRand() % 100;

    EffectSrand(4242);
    TransitionRun run(w, h);
    EffectParams params = run.Params(0, 100);
    params.variant = variant;
    Blocks(kEffectBegin, params, state);
    params.step = step;
    Blocks(kEffectStep, params, state);
    int shown = 0;
    for (int row = 0; row < h; ++row) {
      for (int x = 0; x < w; ++x) {
        const int threshold = thresholds[(row / cell) * (w / cell) + x / cell];
        const bool isB = step >= threshold;
        shown += isB;
        ASSERT_TRUE(SamePixel(run.out.Pixel(x, row), (isB ? run.to : run.from).Pixel(x, row)))
            << "pixel " << x << ", row " << row << " with threshold " << threshold;
      }
    }
    // The step is neither all A nor all B, or the check above would prove nothing about cells.
    EXPECT_GT(shown, 0);
    EXPECT_LT(shown, w * h);
  }
};

TEST_F(BlocksTest, StageSizedCellsAreTheVariant) {
  ExpectCells(800, 600, 20, 20, 50);
  ExpectCells(800, 600, 8, 8, 37);
}

TEST_F(BlocksTest, CellSizeIsLoweredUntilItDividesBothSides) {
  ExpectCells(90, 60, 20, 15, 50);  // 20 to 16 miss 90 or 60
  ExpectCells(7, 5, 4, 1, 60);
}

// ---------------------------------------------------------------------------------------------
// Burn

std::clock_t FixedClock() { return 1234; }

class BurnTest : public ::testing::Test {
 protected:
  BurnTest() { SetEffectClock(FixedClock); }
  ~BurnTest() override {
    Burn(kEffectEnd, EffectParams{}, state);
    SetEffectClock(nullptr);
  }

  EffectState state;
};

const std::uint8_t kOrange[3] = {0, 112, 255};

TEST_F(BurnTest, StartsOnAAndEndsOnBWithTheHighestGroundStillGlowing) {
  TransitionRun run(70, 45);
  Burn(kEffectBegin, run.Params(0, 100), state);
  Burn(kEffectStep, run.Params(0, 100), state);
  EXPECT_EQ(run.out.bytes, run.from.bytes);

  Burn(kEffectStep, run.Params(100, 100), state);
  int glowing = 0;
  for (int row = 0; row < 45; ++row) {
    for (int x = 0; x < 70; ++x) {
      if (SamePixel(run.out.Pixel(x, row), run.to.Pixel(x, row))) continue;
      ASSERT_TRUE(SamePixel(run.out.Pixel(x, row), kOrange)) << x << ", " << row;
      ++glowing;
    }
  }
  EXPECT_GT(glowing, 0);
  EXPECT_LT(glowing, 70 * 45 / 10);  // a few peaks, not a plateau
}

TEST_F(BurnTest, TheFireOnlyAdvancesAndItsEdgeIsOrangeAndYellow) {
  TransitionRun run(64, 48);
  Burn(kEffectBegin, run.Params(0, 100), state);
  std::vector<int> seen(64 * 48, 0);  // 0 A, 1 edge, 2 B
  int yellowSeen = 0;
  for (int step = 0; step <= 100; step += 5) {
    Burn(kEffectStep, run.Params(step, 100), state);
    const std::uint8_t yellow[3] = {static_cast<std::uint8_t>(step < 50 ? 40 : 64), 255, 255};
    for (int row = 0; row < 48; ++row) {
      for (int x = 0; x < 64; ++x) {
        const std::uint8_t* pixel = run.out.Pixel(x, row);
        int now;
        if (SamePixel(pixel, run.from.Pixel(x, row))) {
          now = 0;
        } else if (SamePixel(pixel, run.to.Pixel(x, row))) {
          now = 2;
        } else {
          const bool isYellow = SamePixel(pixel, yellow);
          yellowSeen += isYellow;
          ASSERT_TRUE(isYellow || SamePixel(pixel, kOrange)) << step << ": " << x << ", " << row;
          now = 1;
        }
        int& before = seen[row * 64 + x];
        ASSERT_GE(now, before) << step << ": " << x << ", " << row;
        before = now;
      }
    }
  }
  EXPECT_GT(yellowSeen, 0);
}

// The height map worked out independently for a 20 × 5 picture: a 32 × 32 grid (the power of
// two over 20), squares of side 32 down to 2 refined with indices taken modulo 32, each square
// drawing its centre, then the midpoint of its lower edge, then that of its left edge. Rows
// count from the bottom.
constexpr int kMapWidth = 20;
constexpr int kMapHeight = 5;

std::vector<std::vector<int>> ReferenceHeights(unsigned seed) {
  constexpr int k = 32;
  EffectSrand(seed);
  std::vector<std::vector<int>> grid(k, std::vector<int>(k, 0));
  for (int e = k; e >= 2; e /= 2) {
    const int t = static_cast<int>(8 + 0.6 * e);
    for (int y = 0; y < k; y += e) {
      for (int x = 0; x < k; x += e) {
        const int c00 = grid[y][x];
        const int c10 = grid[y][(x + e) % k];
        const int c01 = grid[(y + e) % k][x];
        const int c11 = grid[(y + e) % k][(x + e) % k];
        grid[y + e / 2][x + e / 2] = (c00 + c10 + c01 + c11) / 4 + EffectRand() % t - t / 2;
        grid[y][x + e / 2] = (c00 + c10) / 2 + EffectRand() % t - t / 2;
        grid[y + e / 2][x] = (c00 + c01) / 2 + EffectRand() % t - t / 2;
      }
    }
  }
  grid.resize(kMapHeight);
  for (auto& row : grid) row.resize(kMapWidth);
  return grid;
}

TEST_F(BurnTest, FollowsTheWrappedMidpointHeightMap) {
  const std::vector<std::vector<int>> heights = ReferenceHeights(FixedClock());
  int lowest = heights[0][0];
  int highest = heights[0][0];
  for (const auto& row : heights) {
    for (const int h : row) lowest = std::min(lowest, h), highest = std::max(highest, h);
  }
  ASSERT_LT(lowest, highest);

  TransitionRun run(kMapWidth, kMapHeight);
  Burn(kEffectBegin, run.Params(0, 100), state);
  for (int step = 0; step <= 60; ++step) {
    Burn(kEffectStep, run.Params(step, 60), state);
    const double p = step / 60.0;
    const int a = lowest + static_cast<int>(p * (highest - lowest + 30));
    const std::uint8_t yellow[3] = {static_cast<std::uint8_t>(p < 0.5 ? 40 : 64), 255, 255};
    for (int row = 0; row < kMapHeight; ++row) {
      for (int x = 0; x < kMapWidth; ++x) {
        const int h = heights[row][x];
        const std::uint8_t* want = h >= a        ? run.from.Pixel(x, row)
                                   : h < a - 30  ? run.to.Pixel(x, row)
                                   : h < a - 20  ? kOrange
                                   : h >= a - 10 ? kOrange
                                                 : yellow;
        ASSERT_TRUE(SamePixel(run.out.Pixel(x, row), want))
            << "step " << step << ", pixel " << x << ", row " << row << ", height " << h;
      }
    }
  }
}

TEST_F(BurnTest, BeginReseedsFromTheClock) {
  std::vector<std::vector<std::uint8_t>> frames;
  for (const unsigned seed : {1u, 77u}) {
    EffectSrand(seed);
    TransitionRun run(50, 30);
    Burn(kEffectBegin, run.Params(0, 100), state);
    Burn(kEffectStep, run.Params(40, 100), state);
    Burn(kEffectEnd, EffectParams{}, state);
    frames.push_back(run.out.bytes);
  }
  EXPECT_EQ(frames[0], frames[1]);
}

TEST_F(BurnTest, AStepWithoutBeginBuildsItsOwnMap) {
  TransitionRun run(1, 1);
  Burn(kEffectStep, run.Params(0, 10), state);
  EXPECT_EQ(run.out.bytes, run.from.bytes);
  // A single height: at the end it is the maximum, so the pixel glows orange.
  Burn(kEffectStep, run.Params(10, 10), state);
  EXPECT_TRUE(SamePixel(run.out.Pixel(0, 0), kOrange));
}

}  // namespace
}  // namespace lumafolio::testing
