#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "StagePictures.h"
#include "core/effects/transitions/TransitionRoutines.h"

namespace lumafolio::testing {
namespace {

using transitions::Clock;
using transitions::Doors;
using transitions::Drip;
using transitions::Fan;
using transitions::Flap;
using transitions::FlipHorizontal;
using transitions::FlipVertical;
using transitions::Fold;
using transitions::Swing;

constexpr double kPi = 3.14159265358979323846;

bool Equal(const std::uint8_t* a, const std::uint8_t* b) { return std::memcmp(a, b, 3) == 0; }

// Picture A's blue is always odd, B's always even (60 or 200): tells where a moved pixel came
// from. A's green is its column and its red its row.
bool FromA(const std::uint8_t* pixel) { return pixel[0] % 2 == 1; }
bool FromB(const std::uint8_t* pixel) { return pixel[0] == 60 || pixel[0] == 200; }
bool Black(const std::uint8_t* pixel) { return pixel[0] == 0 && pixel[1] == 0 && pixel[2] == 0; }

// What the output shows at screen pixel (x, line): A or B in place, or something else.
char InPlace(TransitionRun& run, int x, int line) {
  const std::uint8_t* out = run.out.AtScreen(x, line);
  if (Equal(out, run.from.AtScreen(x, line))) return 'A';
  if (Equal(out, run.to.AtScreen(x, line))) return 'B';
  return '?';
}

bool OutputIs(const TransitionRun& run, const StagePicture& picture) {
  return run.out.bytes == picture.bytes;
}

int Step(TransitionRoutine routine, TransitionRun& run, int step, int lastStep, int direction = 0,
         int variant = 0) {
  EffectState state;  // these families rebuild whatever they keep at every step
  EffectParams params = run.Params(step, lastStep);
  params.direction = static_cast<std::int16_t>(direction);
  params.variant = variant;
  return routine(kEffectStep, params, state);
}

// --- Clock and Fan -------------------------------------------------------------------------

TEST(ClockTransition, QuarterTurnFillsExactlyTheTopRightQuarter) {
  TransitionRun run(64, 48);
  Step(Clock, run, 1, 4);  // 90 degrees
  for (int line = 0; line < 48; ++line) {
    for (int x = 0; x < 64; ++x) {
      const char expected = (x >= 32 && line < 24) ? 'B' : 'A';
      ASSERT_EQ(InPlace(run, x, line), expected) << "x " << x << " line " << line;
    }
  }
}

TEST(ClockTransition, ThreeQuartersLeaveOnlyTheTopLeftQuarter) {
  TransitionRun run(64, 48);
  Step(Clock, run, 3, 4);  // 270 degrees
  for (int line = 0; line < 48; ++line) {
    for (int x = 0; x < 64; ++x) {
      const char expected = (x < 32 && line < 24) ? 'A' : 'B';
      ASSERT_EQ(InPlace(run, x, line), expected) << "x " << x << " line " << line;
    }
  }
}

TEST(ClockTransition, HandAtFortyFiveDegreesSplitsTheQuarterOnTheDiagonal) {
  TransitionRun run(64, 48);
  Step(Clock, run, 1, 8);  // 45 degrees
  for (int line = 0; line < 48; ++line) {
    for (int x = 0; x < 64; ++x) {
      const double dx = x + 0.5 - 32;
      const double up = 24 - (line + 0.5);
      if (dx > 0 && up > 0 && std::fabs(dx - up) < 1.0) continue;  // on the hand itself
      const char expected = (dx > 0 && up > 0 && dx < up) ? 'B' : 'A';
      ASSERT_EQ(InPlace(run, x, line), expected) << "x " << x << " line " << line;
    }
  }
}

// The first frame and the full turn are checked for every effect (EffectPropertiesTest); in
// between, a hand that has not yet reached a whole degree draws nothing either.
TEST(ClockTransition, LessThanADegreeLeavesTheFrameUnwritten) {
  TransitionRun run(31, 17);
  std::fill(run.out.bytes.begin(), run.out.bytes.end(), std::uint8_t{0x5a});
  const auto untouched = run.out.bytes;
  Step(Clock, run, 1, 400);  // 360 / 400 rounds down to 0 degrees
  EXPECT_EQ(run.out.bytes, untouched);
}

TEST(FanTransition, BladesOpenCounterClockwiseFromThreeOClock) {
  TransitionRun run(120, 120);
  Step(Fan, run, 50, 100, 0, 12);  // each of the 12 blades is 15 degrees open
  int checked = 0;
  for (int line = 0; line < 120; ++line) {
    for (int x = 0; x < 120; ++x) {
      const double dx = x + 0.5 - 60;
      const double up = 60 - (line + 0.5);
      if (std::hypot(dx, up) < 12) continue;
      double degrees = std::atan2(up, dx) * 180 / kPi;  // counter-clockwise from three o'clock
      if (degrees < 0) degrees += 360;
      const double inBlade = std::fmod(degrees, 30.0);
      if (inBlade < 2 || (inBlade > 13 && inBlade < 17) || inBlade > 28) continue;
      const char expected = inBlade < 15 ? 'B' : 'A';
      ASSERT_EQ(InPlace(run, x, line), expected) << "x " << x << " line " << line;
      ++checked;
    }
  }
  EXPECT_GT(checked, 5000);
}

// The first frame and the end are checked for every effect (EffectPropertiesTest); the first
// drawn step, before any blade has opened, is all A.
TEST(FanTransition, BladesThatHaveNotOpenedShowA) {
  TransitionRun run(40, 30);
  Step(Fan, run, 2, 100, 0, 12);  // 2 % of 30 degrees is no opening yet: A everywhere
  EXPECT_TRUE(OutputIs(run, run.from));
}

// --- Doors ---------------------------------------------------------------------------------

TEST(DoorsTransition, DoorColumnsShortenTowardsTheOpening) {
  // W 64, H 48 at step 5 of 10: a 32-column opening from column 16, doors of 16 columns,
  // l = 6, so the column i in from its hinge is 48 - 12 i / 16 lines tall, centred.
  TransitionRun run(64, 48);
  Step(Doors, run, 5, 10, 0, 1);
  struct Expect {
    int x;
    int top;
    int height;
  };
  for (const Expect e : {Expect{0, 0, 48}, Expect{8, 3, 42}, Expect{15, 5, 37}, Expect{63, 0, 48},
                         Expect{56, 2, 43}, Expect{48, 5, 37}}) {
    for (int line = 0; line < 48; ++line) {
      const std::uint8_t* pixel = run.out.AtScreen(e.x, line);
      if (line >= e.top && line < e.top + e.height) {
        ASSERT_TRUE(FromA(pixel)) << "x " << e.x << " line " << line;
        // The left door shows A's left half, the right door its right half.
        EXPECT_EQ(pixel[1] < 32, e.x < 32) << "x " << e.x;
      } else {
        ASSERT_EQ(InPlace(run, e.x, line), 'B') << "x " << e.x << " line " << line;
      }
    }
  }
  for (int x = 16; x < 48; ++x) {
    for (int line = 0; line < 48; ++line) ASSERT_EQ(InPlace(run, x, line), 'B');
  }
  // A full-height hinge column keeps A's lines in place.
  for (int line = 0; line < 48; ++line) EXPECT_EQ(run.out.AtScreen(0, line)[2], 47 - line);
}

// --- Swing ---------------------------------------------------------------------------------

TEST(SwingTransition, PanelExtentIsTheCosineOfItsAngle) {
  // Half way the panel has turned 45 degrees: floor(48 cos) = 33 lines across a top or bottom
  // hinge, floor(64 cos) = 45 columns across a side hinge.
  struct Case {
    int direction;
    bool acrossLines;
    bool fromStart;  // the hinge is at the top or left edge
    int extent;
  };
  for (const Case c : {Case{kEdgeTop, true, true, 33}, Case{kEdgeBottom, true, false, 33},
                       Case{kEdgeLeft, false, true, 45}, Case{kEdgeRight, false, false, 45}}) {
    TransitionRun run(64, 48);
    Step(Swing, run, 1, 2, c.direction, 1);
    const int size = c.acrossLines ? 48 : 64;
    for (int i = 0; i < size; ++i) {
      const int along = c.fromStart ? i : size - 1 - i;  // i counts from the hinge
      const int x = c.acrossLines ? 32 : along;
      const int line = c.acrossLines ? along : 24;
      const std::uint8_t* pixel = run.out.AtScreen(x, line);
      if (i < c.extent) {
        ASSERT_TRUE(FromA(pixel)) << c.direction << " at " << i;
      } else {
        ASSERT_EQ(InPlace(run, x, line), 'B') << c.direction << " at " << i;
      }
    }
    // The hinge keeps its full length; the far edge has shrunk and shows B at its ends.
    const int hinge = c.fromStart ? 0 : size - 1;
    const int far = c.fromStart ? c.extent - 1 : size - c.extent;
    if (c.acrossLines) {
      EXPECT_TRUE(FromA(run.out.AtScreen(0, hinge))) << c.direction;
      EXPECT_EQ(InPlace(run, 0, far), 'B') << c.direction;
      EXPECT_EQ(InPlace(run, 63, far), 'B') << c.direction;
    } else {
      EXPECT_TRUE(FromA(run.out.AtScreen(hinge, 0))) << c.direction;
      EXPECT_EQ(InPlace(run, far, 0), 'B') << c.direction;
      EXPECT_EQ(InPlace(run, far, 47), 'B') << c.direction;
    }
  }
}

// --- Flips ---------------------------------------------------------------------------------

TEST(FlipTransitions, HalfWayTheCardIsEdgeOnAndAllIsBlack) {
  for (const auto routine : {FlipVertical, FlipHorizontal}) {
    TransitionRun run(64, 48);
    Step(routine, run, 50, 100, 0, 1);
    EXPECT_TRUE(std::all_of(run.out.bytes.begin(), run.out.bytes.end(),
                            [](std::uint8_t b) { return b == 0; }));
  }
}

TEST(FlipTransitions, VerticalCardNarrowsWithTheCosineAndShortensAtItsEdges) {
  // A quarter of the way the card is 64 cos(45 degrees) = 45.3 columns wide about the centre
  // line: columns 9 to 54. Its edges stand 22.6 behind the axis, seen from 320 away, so they
  // are about 44.8 lines tall.
  TransitionRun run(64, 48);
  Step(FlipVertical, run, 1, 4, 0, 1);
  for (int line = 0; line < 48; ++line) {
    for (int x : {0, 8, 55, 63}) ASSERT_TRUE(Black(run.out.AtScreen(x, line))) << x;
    ASSERT_TRUE(FromA(run.out.AtScreen(32, line))) << line;  // the axis keeps its full height
  }
  for (int x : {9, 54}) {
    EXPECT_TRUE(Black(run.out.AtScreen(x, 0))) << x;
    EXPECT_TRUE(Black(run.out.AtScreen(x, 47))) << x;
    EXPECT_TRUE(FromA(run.out.AtScreen(x, 3))) << x;
    EXPECT_TRUE(FromA(run.out.AtScreen(x, 44))) << x;
  }
}

TEST(FlipTransitions, HorizontalCardOpensOnB) {
  // Three quarters of the way B has turned back 45 degrees: 48 sin(45 degrees) = 33.9 lines
  // about the centre line, lines 7 to 40, its top and bottom narrowed (viewer 160 away).
  TransitionRun run(64, 48);
  Step(FlipHorizontal, run, 3, 4, 0, 1);
  for (int x = 0; x < 64; ++x) {
    for (int line : {0, 6, 41, 47}) ASSERT_TRUE(Black(run.out.AtScreen(x, line))) << line;
    ASSERT_TRUE(FromB(run.out.AtScreen(x, 24))) << x;  // the axis keeps its full width
  }
  EXPECT_TRUE(FromB(run.out.AtScreen(32, 7)));
  EXPECT_TRUE(FromB(run.out.AtScreen(32, 40)));
  EXPECT_TRUE(Black(run.out.AtScreen(0, 7)));
  EXPECT_TRUE(Black(run.out.AtScreen(63, 40)));
}

// --- Pictures beyond the panels' 32-bit fast path ---------------------------------------------

TEST(PanelTransitions, VeryTallPicturesStillSampleTheirOwnPixels) {
  // 33000 lines is past what the column panels work out four at a time in 32 bits; they fall
  // back to 64-bit positions and must draw the same kind of frame.
  TransitionRun run(5, 33000);
  Step(Doors, run, 0, 4, 0, 1);
  EXPECT_TRUE(OutputIs(run, run.from));
  Step(FlipVertical, run, 0, 4, 0, 1);
  EXPECT_TRUE(OutputIs(run, run.from));
  Step(Swing, run, 1, 4, 64, 1);  // 5 cos(22.5 degrees) = 4 columns of A from the left
  for (int line = 0; line < 33000; line += 97) {
    ASSERT_EQ(InPlace(run, 4, line), 'B') << line;
    // The hinge column has lost about one percent of its height at each end.
    if (line >= 1000 && line < 32000) {
      ASSERT_TRUE(FromA(run.out.AtScreen(0, line))) << line;
    }
  }
}

// --- Flap ----------------------------------------------------------------------------------

// The number of top lines of the centre column that show B, with A in place below them.
int FlapCover(TransitionRun& run) {
  int covered = 0;
  while (covered < run.out.height && FromB(run.out.AtScreen(run.out.width / 2, covered))) {
    ++covered;
  }
  for (int line = covered; line < run.out.height; ++line) {
    EXPECT_EQ(InPlace(run, run.out.width / 2, line), 'A') << line;
  }
  return covered;
}

TEST(FlapTransition, CoversTheProjectedLengthOfTheFlap) {
  // W 64, H 48: l = 160. At q 50 the flap stands at 50 - 36 * 50 / 64 = 22 degrees:
  // U = 160 * trunc(48 cos) / (160 + trunc(48 sin)) = 160 * 44 / 177 = 39.
  struct Case {
    int q;
    int covered;
  };
  for (const Case c : {Case{10, 16}, Case{32, 6}, Case{50, 39}, Case{80, 28}}) {
    TransitionRun run(64, 48);
    Step(Flap, run, c.q, 100);
    EXPECT_EQ(FlapCover(run), c.covered) << "q " << c.q;
    // Hinged at the top: the flap narrows from the hinge to its free edge.
    const auto widthOfB = [&run](int line) {
      int count = 0;
      for (int x = 0; x < 64; ++x) count += FromB(run.out.AtScreen(x, line)) ? 1 : 0;
      return count;
    };
    EXPECT_GE(widthOfB(0), 62) << "q " << c.q;
    EXPECT_LT(widthOfB(c.covered - 1), widthOfB(0) - 4) << "q " << c.q;
    EXPECT_EQ(InPlace(run, 0, c.covered - 1), 'A') << "q " << c.q;
  }
}

TEST(FlapTransition, EdgeOnAtTheStartAndFlatAfterTheLastBounce) {
  TransitionRun run(64, 48);
  Step(Flap, run, 0, 100);
  EXPECT_TRUE(OutputIs(run, run.from));
  Step(Flap, run, 1, 100);  // 90 degrees: seen edge-on
  EXPECT_TRUE(OutputIs(run, run.from));
  Step(Flap, run, 48, 100);  // an arc meets the picture plane: the flap lies flat
  EXPECT_TRUE(OutputIs(run, run.to));
  for (int q = 94; q <= 100; ++q) {  // it stays down rather than swinging through the picture
    Step(Flap, run, q, 100);
    EXPECT_TRUE(OutputIs(run, run.to)) << "q " << q;
  }
}

// --- Fold ----------------------------------------------------------------------------------

TEST(FoldTransition, BeforeTheLineBThenTheBrightenedFlapThenA) {
  // W 64, H 48 at step 5 of 10: the fold line is x + y = 56.
  TransitionRun run(64, 48);
  Step(Fold, run, 5, 10);
  int flap = 0;
  for (int y = 0; y < 48; ++y) {
    for (int x = 0; x < 64; ++x) {
      const std::uint8_t* out = run.out.AtScreen(x, y);
      if (x + y < 56) {
        ASSERT_EQ(InPlace(run, x, y), 'B') << x << "," << y;
      } else if (x <= 56) {
        // Mirrored across the line: the pixels next to it on both sides come from the same
        // place in A.
        const std::uint8_t* source = run.from.AtScreen(55 - y, 56 - x);
        for (int c = 0; c < 3; ++c) {
          ASSERT_EQ(out[c], std::min(source[c] + 96, 255)) << x << "," << y << " channel " << c;
        }
        ++flap;
      } else {
        ASSERT_EQ(InPlace(run, x, y), 'A') << x << "," << y;
      }
    }
  }
  EXPECT_GT(flap, 500);
}

TEST(FoldTransition, FlapChannelsStopAtWhite) {
  TransitionRun run(40, 30);
  for (int row = 0; row < 30; ++row) {
    for (int x = 0; x < 40; ++x) {
      std::uint8_t* pixel = run.from.Pixel(x, row);
      pixel[0] = 200;
      pixel[1] = 100;
      pixel[2] = 160;
    }
  }
  Step(Fold, run, 1, 2);  // the line x + y = 35
  const std::uint8_t* out = run.out.AtScreen(30, 10);
  EXPECT_EQ(out[0], 255);
  EXPECT_EQ(out[1], 196);
  EXPECT_EQ(out[2], 255);
  Step(Fold, run, 0, 2);
  EXPECT_TRUE(OutputIs(run, run.from));
  Step(Fold, run, 2, 2);
  EXPECT_TRUE(OutputIs(run, run.to));
}

// --- Drip ----------------------------------------------------------------------------------

// Which of a screen line's pixels show B (in place); every pixel must be A or B in place.
std::string LineMask(TransitionRun& run, int line) {
  std::string mask;
  for (int x = 0; x < run.out.width; ++x) {
    const char c = InPlace(run, x, line);
    EXPECT_NE(c, '?') << x << "," << line;
    mask += c;
  }
  return mask;
}

TEST(DripTransition, BelowTheBandBAboveTheFrontA) {
  // H 60 at q 50: the front is 30 lines up, the band 6 lines under it.
  TransitionRun run(80, 60);
  Step(Drip, run, 50, 100);
  for (int line = 0; line < 60; ++line) {
    const int fromBottom = 59 - line;
    const std::string mask = LineMask(run, line);
    if (fromBottom < 24) {
      ASSERT_EQ(mask, std::string(80, 'B')) << fromBottom;
    } else if (fromBottom >= 30) {
      ASSERT_EQ(mask, std::string(80, 'A')) << fromBottom;
    }
  }
  // The tongues: the band's top line is mostly A with some B, its bottom line more B.
  const std::string top = LineMask(run, 59 - 29);
  const std::string foot = LineMask(run, 59 - 24);
  const auto countB = [](const std::string& m) { return std::count(m.begin(), m.end(), 'B'); };
  EXPECT_GT(countB(top), 0);
  EXPECT_LT(countB(top), 40);
  EXPECT_GT(countB(foot), countB(top));
}

TEST(DripTransition, TonguePatternCyclesEverySixPercent) {
  // q 48, 50 and 52 use the three patterns, 54 the first again; compare the band's top line.
  std::string masks[4];
  for (int i = 0; i < 4; ++i) {
    TransitionRun run(80, 60);
    const int q = 48 + 2 * i;
    Step(Drip, run, q, 100);
    const int front = 60 * ((q + 1) / 2) / 50;
    masks[i] = LineMask(run, 59 - (front - 1));
  }
  EXPECT_NE(masks[0], masks[1]);
  EXPECT_NE(masks[1], masks[2]);
  EXPECT_NE(masks[0], masks[2]);
  EXPECT_EQ(masks[0], masks[3]);
}

}  // namespace
}  // namespace lumafolio::testing
