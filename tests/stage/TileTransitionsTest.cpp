#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "StagePictures.h"
#include "stage/EffectParams.h"
#include "stage/EffectRandom.h"
#include "stage/transitions/TransitionRoutines.h"

namespace lumafolio::testing {
namespace {

using transitions::Implode;
using transitions::RollHorizontal;
using transitions::RollVertical;
using transitions::Scatter;
using transitions::Shatter;
using transitions::ShatterTiles;
using transitions::Swap;

constexpr std::clock_t kClock = 4242;
std::clock_t FixedClock() { return kClock; }

// The shuffling families reseed from the clock at begin; a fixed clock makes them repeatable.
class FixedClockTest : public ::testing::Test {
 protected:
  void SetUp() override { SetEffectClock(FixedClock); }
  void TearDown() override { SetEffectClock(nullptr); }
};

bool SamePixel(const std::uint8_t* a, const std::uint8_t* b) { return std::memcmp(a, b, 3) == 0; }
bool IsBlack(const std::uint8_t* p) { return p[0] == 0 && p[1] == 0 && p[2] == 0; }
// A's blue is always odd, B's always 60 or 200 (see StagePictures).
bool IsFromA(const std::uint8_t* p) { return (p[0] & 1) == 1; }
bool IsFromB(const std::uint8_t* p) { return p[0] == 60 || p[0] == 200; }

// Compares the pixels (not the row padding) of two pictures of one size.
::testing::AssertionResult SamePicture(const StagePicture& got, const StagePicture& want) {
  for (int row = 0; row < got.height; ++row) {
    for (int x = 0; x < got.width; ++x) {
      if (!SamePixel(got.Pixel(x, row), want.Pixel(x, row))) {
        const std::uint8_t* g = got.Pixel(x, row);
        const std::uint8_t* w = want.Pixel(x, row);
        return ::testing::AssertionFailure()
               << "pixel " << x << ", row " << row << " is (" << int{g[0]} << ", " << int{g[1]}
               << ", " << int{g[2]} << "), expected (" << int{w[0]} << ", " << int{w[1]} << ", "
               << int{w[2]} << ")";
      }
    }
  }
  return ::testing::AssertionSuccess();
}

EffectParams WithVariant(EffectParams params, int variant) {
  params.variant = variant;
  return params;
}

// Copies the w x h block at (x, row) of `from` to (toX, toRow) of `to`, pixel by pixel, keeping
// what lands inside `to`.
void PutBlock(StagePicture& to, const StagePicture& from, int x, int row, int toX, int toRow, int w,
              int h) {
  for (int j = 0; j < h; ++j) {
    for (int i = 0; i < w; ++i) {
      const int tx = toX + i;
      const int ty = toRow + j;
      if (tx < 0 || ty < 0 || tx >= to.width || ty >= to.height) continue;
      std::memcpy(to.Pixel(tx, ty), from.Pixel(x + i, row + j), 3);
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Shatter and ShatterTiles

// The frame a shatter must draw at flight factor g: B, then A's size x size pieces, each moved
// by ((X - W) g >> 20, g Y >> 20), from the top right one back to the bottom left one. X and Y
// are drawn per piece, bottom row first, right after reseeding from the clock.
StagePicture ShatterFrame(const TransitionRun& run, int size, std::int64_t g) {
  const int w = run.from.width;
  const int h = run.from.height;
  const int columns = w / size;
  const int count = columns * (h / size);
  std::vector<std::int64_t> xs(count);
  std::vector<std::int64_t> ys(count);
  EffectSrand(static_cast<unsigned>(kClock));
  for (int i = 0; i < count; ++i) {
    xs[i] = EffectRand() % (2 * w);
    ys[i] = h / 2 > 0 ? EffectRand() % (h / 2) + 5 * h / 2 : 5 * h / 2;
  }
  StagePicture frame = run.to;
  for (int i = count - 1; i >= 0; --i) {
    const int x = i % columns * size;
    const int row = i / columns * size;
    PutBlock(frame, run.from, x, row, static_cast<int>(x + (((xs[i] - w) * g) >> 20)),
             static_cast<int>(row + ((g * ys[i]) >> 20)), size, size);
  }
  return frame;
}

// g = floor(F^2), F = ((k + s)^2 - k^2 / 3) / (N + k)^2 * 1024 * 0.67, k = 4 sqrt(N), worked
// out by hand for N = 100.
constexpr std::int64_t kFlightAtStep1 = 1613;
constexpr std::int64_t kFlightAtStep50 = 70153;

using ShatterTest = FixedClockTest;

TEST_F(ShatterTest, StartsOnAAndEndsWithEveryPieceGone) {
  for (int variant : {0, 4, 8, 20}) {
    TransitionRun run(40, 30);
    const auto routine = variant == 0 ? Shatter : ShatterTiles;
    routine(kEffectBegin, WithVariant(run.Params(0, 100), variant));
    routine(kEffectStep, WithVariant(run.Params(0, 100), variant));
    EXPECT_TRUE(SamePicture(run.out, run.from)) << "variant " << variant;
    routine(kEffectStep, WithVariant(run.Params(100, 100), variant));
    EXPECT_TRUE(SamePicture(run.out, run.to)) << "variant " << variant;
    routine(kEffectEnd, EffectParams{});
  }
}

TEST_F(ShatterTest, PiecesFlyByTheirRandomFactors) {
  struct Case {
    int w, h, variant, size, step;
    std::int64_t g;
  };
  const Case cases[] = {
      {40, 40, 4, 4, 50, kFlightAtStep50},  // tiles of 4
      {40, 30, 0, 2, 50, kFlightAtStep50},  // Shatter's 2 x 2 pieces
      {40, 30, 20, 10, 1, kFlightAtStep1},  // 20 does not divide 30: lowered to 10
      {23, 17, 8, 1, 50, kFlightAtStep50},  // nothing divides: single pixels
      {9, 1, 0, 1, 50, kFlightAtStep50},    // one line: no upward spread to draw
  };
  for (const Case& c : cases) {
    TransitionRun run(c.w, c.h);
    const auto routine = c.variant == 0 ? Shatter : ShatterTiles;
    routine(kEffectBegin, WithVariant(run.Params(0, 100), c.variant));
    routine(kEffectStep, WithVariant(run.Params(c.step, 100), c.variant));
    routine(kEffectEnd, EffectParams{});
    EXPECT_TRUE(SamePicture(run.out, ShatterFrame(run, c.size, c.g)))
        << c.w << "x" << c.h << " variant " << c.variant << " step " << c.step;
  }
}

TEST_F(ShatterTest, StepWithoutBeginDrawsTheSamePieces) {
  TransitionRun run(40, 40);
  ShatterTiles(kEffectEnd, EffectParams{});
  ShatterTiles(kEffectStep, WithVariant(run.Params(50, 100), 4));
  EXPECT_TRUE(SamePicture(run.out, ShatterFrame(run, 4, kFlightAtStep50)));
  ShatterTiles(kEffectEnd, EffectParams{});
}

// ---------------------------------------------------------------------------------------------
// Scatter

struct ScatterPieceModel {
  int threshold;
  int dx;
  int dy;
};

// A piece's offset along an axis of `size` pixels: a pivot v = rand() mod (size / 2) - size / 4,
// then toward and past it from the piece's side (position measured from the middle). An empty
// range (a one-pixel side) draws nothing and gives 0.
int ScatterOffset(int position, int size) {
  auto below = [](int range) { return range > 0 ? EffectRand() % range : 0; };
  const int v = below(size / 2) - size / 4;
  const int fromMiddle = position - size / 2;
  if (fromMiddle > v) return -below(v + size / 2);
  if (fromMiddle < v) return below(size / 2 - v);
  return 0;
}

// The frame Scatter must draw with spread u and turn-over point `shown`: on black, each 2 x 2
// piece (bottom row first) at its place plus (u dx >> 10, u dy >> 10), from B when shown >= its
// threshold, in drawing order.
StagePicture ScatterFrame(const TransitionRun& run, int u, int shown) {
  const int w = run.from.width;
  const int h = run.from.height;
  std::vector<ScatterPieceModel> pieces;
  EffectSrand(static_cast<unsigned>(kClock));
  for (int y = 0; y < h; y += 2) {
    for (int x = 0; x < w; x += 2) {
      ScatterPieceModel piece;
      piece.threshold = EffectRand() % 255 + 1;
      piece.dx = ScatterOffset(x, w);
      piece.dy = ScatterOffset(y, h);
      pieces.push_back(piece);
    }
  }
  StagePicture frame(w, h);
  std::size_t i = 0;
  for (int y = 0; y < h; y += 2) {
    for (int x = 0; x < w; x += 2, ++i) {
      const ScatterPieceModel& piece = pieces[i];
      PutBlock(frame, shown >= piece.threshold ? run.to : run.from, x, y,
               x + ((u * piece.dx) >> 10), y + ((u * piece.dy) >> 10), std::min(2, w - x),
               std::min(2, h - y));
    }
  }
  return frame;
}

using ScatterTest = FixedClockTest;

TEST_F(ScatterTest, PiecesFollowTheirPivotsThresholdsAndTheSpreadCurve) {
  // u = floor((0.5 - |g - 0.5|) * 2000) and floor(p * 256) for p = s / 100, by hand: g = p
  // outside 0.3 to 0.7 and bends toward the middle inside.
  struct Case {
    int step, u, shown;
  };
  const Case cases[] = {{10, 199, 25},  {25, 500, 64},  {30, 600, 76},  {40, 752, 102},
                        {50, 808, 128}, {60, 752, 153}, {70, 600, 179}, {90, 199, 230}};
  for (auto [w, h] : {std::pair{24, 18}, std::pair{25, 17}, std::pair{160, 120}}) {
    TransitionRun run(w, h);
    Scatter(kEffectBegin, run.Params(0, 100));
    for (const Case& c : cases) {
      Scatter(kEffectStep, run.Params(c.step, 100));
      EXPECT_TRUE(SamePicture(run.out, ScatterFrame(run, c.u, c.shown)))
          << w << "x" << h << " step " << c.step;
    }
    Scatter(kEffectEnd, EffectParams{});
  }
}

TEST_F(ScatterTest, StartsOnAEndsOnBAndOpensBlackGapsOnTheWay) {
  TransitionRun run(40, 30);
  Scatter(kEffectBegin, run.Params(0, 100));
  Scatter(kEffectStep, run.Params(0, 100));
  EXPECT_TRUE(SamePicture(run.out, run.from));

  Scatter(kEffectStep, run.Params(50, 100));
  int black = 0;
  int fromA = 0;
  int fromB = 0;
  for (int row = 0; row < 30; ++row) {
    for (int x = 0; x < 40; ++x) {
      const std::uint8_t* p = run.out.Pixel(x, row);
      black += IsBlack(p);
      fromA += IsFromA(p);
      fromB += IsFromB(p);
    }
  }
  EXPECT_GT(black, 0);
  EXPECT_GT(fromA, 0);
  EXPECT_GT(fromB, 0);

  Scatter(kEffectStep, run.Params(100, 100));
  EXPECT_TRUE(SamePicture(run.out, run.to));
  Scatter(kEffectEnd, EffectParams{});
}

// A side of one pixel leaves the pivot and offset ranges empty (rand() mod 0); the pieces then
// stay on their axis.
TEST_F(ScatterTest, OnePixelSidesKeepThePiecesOnTheirAxis) {
  for (auto [w, h] : {std::pair{1, 7}, std::pair{7, 1}, std::pair{1, 1}}) {
    TransitionRun run(w, h);
    Scatter(kEffectBegin, run.Params(0, 10));
    Scatter(kEffectStep, run.Params(5, 10));
    EXPECT_TRUE(SamePicture(run.out, ScatterFrame(run, 808, 128))) << w << "x" << h;
    Scatter(kEffectStep, run.Params(10, 10));
    EXPECT_TRUE(SamePicture(run.out, run.to)) << w << "x" << h;
    Scatter(kEffectEnd, EffectParams{});
  }
}

// ---------------------------------------------------------------------------------------------
// Implode and Swap

// The jitter the next tile gets: rand() mod (2 size) - size, x then y.
std::pair<int, int> NextJitter(int size) {
  const int x = EffectRand() % (2 * size) - size;
  const int y = EffectRand() % (2 * size) - size;
  return {x, y};
}

TEST(ImplodeTest, StartsOnAWhileBelowOnePercent) {
  TransitionRun run(40, 30);
  Implode(kEffectStep, WithVariant(run.Params(9, 1000), 4));
  EXPECT_TRUE(SamePicture(run.out, run.from));
}

// On a picture of a single tile the tile stays at the centre and only the jitter moves it: a
// corner pushed below 0 is put back at 0, one pushed right or up is cut at the edge.
TEST(ImplodeTest, JitterMovesTheTileAndClampsItAtZero) {
  for (unsigned seed = 1; seed <= 24; ++seed) {
    TransitionRun run(4, 4);
    EffectSrand(seed);
    const auto [jx, jy] = NextJitter(4);
    EffectSrand(seed);
    Implode(kEffectStep, WithVariant(run.Params(50, 100), 4));
    StagePicture want = run.to;
    PutBlock(want, run.from, 0, 0, std::max(0, jx), std::max(0, jy), 4, 4);
    EXPECT_TRUE(SamePicture(run.out, want)) << "seed " << seed << " jitter " << jx << "," << jy;
  }
}

// The smallest box holding every pixel of A: left, bottom, right, top, inclusive.
std::vector<int> BoxOfA(const StagePicture& out) {
  std::vector<int> box = {out.width, out.height, -1, -1};
  for (int row = 0; row < out.height; ++row) {
    for (int x = 0; x < out.width; ++x) {
      if (!IsFromA(out.Pixel(x, row))) continue;
      box = {std::min(box[0], x), std::min(box[1], row), std::max(box[2], x),
             std::max(box[3], row)};
    }
  }
  return box;
}

// The tiles' offsets from the centre shrink by (100 - q) / 100, give or take a tile of jitter;
// at 100 percent they all sit on the centre. Outside A's box the frame is B.
TEST(ImplodeTest, TilesGatherTowardTheCentre) {
  struct Case {
    int q, low, high;  // the box's outer edges lie in low..low + 7 and high - 7..high
  };
  // q 50: the outer tiles' centres (2 and 398, the centre being 200) move to 101 and 299.
  for (const Case& c : {Case{50, 95, 303}, Case{100, 194, 204}}) {
    TransitionRun run(400, 400);
    EffectSrand(5);
    Implode(kEffectStep, WithVariant(run.Params(c.q, 100), 4));
    const std::vector<int> box = BoxOfA(run.out);
    for (int side = 0; side < 2; ++side) {
      EXPECT_GE(box[side], c.low) << "q " << c.q;
      EXPECT_LE(box[side], c.low + 7) << "q " << c.q;
      EXPECT_GE(box[side + 2], c.high - 7) << "q " << c.q;
      EXPECT_LE(box[side + 2], c.high) << "q " << c.q;
    }
    for (int row = 0; row < 400; row += 3) {
      for (int x = 0; x < 400; x += 3) {
        if (x >= box[0] && x <= box[2] && row >= box[1] && row <= box[3]) continue;
        EXPECT_TRUE(SamePixel(run.out.Pixel(x, row), run.to.Pixel(x, row))) << x << "," << row;
      }
    }
  }
}

TEST(SwapTest, StartsOnAAndEndsOnB) {
  TransitionRun run(40, 30);
  Swap(kEffectStep, WithVariant(run.Params(0, 100), 4));
  EXPECT_TRUE(SamePicture(run.out, run.from));
  Swap(kEffectStep, WithVariant(run.Params(100, 100), 4));
  EXPECT_TRUE(SamePicture(run.out, run.to));
}

// On a picture of a single tile: black, A's tile at its jitter, then B's tile at its own on top.
TEST(SwapTest, DrawsAThenBWithFreshJitterOnBlack) {
  for (unsigned seed = 1; seed <= 24; ++seed) {
    TransitionRun run(4, 4);
    EffectSrand(seed);
    const auto [ax, ay] = NextJitter(4);
    const auto [bx, by] = NextJitter(4);
    EffectSrand(seed);
    Swap(kEffectStep, WithVariant(run.Params(50, 100), 4));
    StagePicture want(4, 4);
    PutBlock(want, run.from, 0, 0, std::max(0, ax), std::max(0, ay), 4, 4);
    PutBlock(want, run.to, 0, 0, std::max(0, bx), std::max(0, by), 4, 4);
    EXPECT_TRUE(SamePicture(run.out, want)) << "seed " << seed;
  }
}

TEST(SwapTest, OldTilesLeaveBeforeNinetyNewOnesComeAfterTen) {
  struct Case {
    int q;
    bool a, b;
  };
  // A's tiles are drawn up to 90 percent (at 90 all gathered in the centre), B's from 10 (at 10
  // all in the centre).
  const Case cases[] = {{5, true, false}, {9, true, false},  {10, true, true}, {50, true, true},
                        {90, true, true}, {91, false, true}, {95, false, true}};
  for (const Case& c : cases) {
    TransitionRun run(40, 40);
    Swap(kEffectStep, WithVariant(run.Params(c.q, 100), 4));
    int fromA = 0;
    int fromB = 0;
    for (int row = 0; row < 40; ++row) {
      for (int x = 0; x < 40; ++x) {
        fromA += IsFromA(run.out.Pixel(x, row));
        fromB += IsFromB(run.out.Pixel(x, row));
      }
    }
    EXPECT_EQ(fromA > 0, c.a) << "q " << c.q;
    EXPECT_EQ(fromB > 0, c.b) << "q " << c.q;
    // Midway both pictures are gathered into the middle: the corners are black.
    if (c.q == 50) {
      EXPECT_TRUE(IsBlack(run.out.Pixel(0, 0)));
      EXPECT_TRUE(IsBlack(run.out.Pixel(39, 39)));
    }
  }
}

// ---------------------------------------------------------------------------------------------
// RollHorizontal and RollVertical

// What a strip of the drum must show: which picture, and how many lines (or pixels) it loses,
// 2 floor((across / 2) x^2 / length^2) (0: the strip as it is).
struct StripWant {
  bool fromB;
  int loss;
};

int Loss(int x, int length, int across) {
  return static_cast<int>(2 * (std::int64_t{across / 2} * x * x / (std::int64_t{length} * length)));
}

// Reads which line of A or B a pixel of the test pictures was taken from (both encode the line
// in red, A directly, B as 255 - line), and the column (in green).
int SourceLine(const std::uint8_t* p) { return IsFromA(p) ? p[2] : 255 - p[2]; }
int SourceColumn(const std::uint8_t* p) { return IsFromA(p) ? p[1] : 255 - p[1]; }

// Checks column x of a horizontal roll: loss / 2 black lines at top and bottom, between them
// the column x of the wanted picture, its lines in order and spread over its whole height.
::testing::AssertionResult ColumnIs(const TransitionRun& run, int x, StripWant want) {
  const int h = run.out.height;
  const int top = want.loss / 2;
  for (int row = 0; row < h; ++row) {
    const std::uint8_t* p = run.out.Pixel(x, row);
    const bool kept = row >= top && row < h - top;
    if (!kept) {
      if (!IsBlack(p)) return ::testing::AssertionFailure() << "row " << row << " not black";
      continue;
    }
    if (want.fromB ? !IsFromB(p) : !IsFromA(p)) {
      return ::testing::AssertionFailure() << "row " << row << " from the wrong picture";
    }
    if (SourceColumn(p) != x) {
      return ::testing::AssertionFailure() << "row " << row << " from column " << SourceColumn(p);
    }
    if (want.loss == 0 && SourceLine(p) != row) {
      return ::testing::AssertionFailure() << "unchanged row " << row << " moved";
    }
    if (row > top && SourceLine(p) <= SourceLine(run.out.Pixel(x, row - 1))) {
      return ::testing::AssertionFailure() << "row " << row << " out of order";
    }
  }
  const int kept = h - want.loss;
  if (kept > 0) {
    const int stepUp = (h + kept - 1) / kept;
    if (SourceLine(run.out.Pixel(x, top)) >= stepUp ||
        SourceLine(run.out.Pixel(x, h - 1 - top)) < h - stepUp) {
      return ::testing::AssertionFailure() << "lines not spread over the whole column";
    }
  }
  return ::testing::AssertionSuccess();
}

// The same for line `row` of a vertical roll, with pixels for lines.
::testing::AssertionResult LineIs(const TransitionRun& run, int row, StripWant want) {
  const int w = run.out.width;
  const int left = want.loss / 2;
  for (int x = 0; x < w; ++x) {
    const std::uint8_t* p = run.out.Pixel(x, row);
    const bool kept = x >= left && x < w - left;
    if (!kept) {
      if (!IsBlack(p)) return ::testing::AssertionFailure() << "pixel " << x << " not black";
      continue;
    }
    if (want.fromB ? !IsFromB(p) : !IsFromA(p)) {
      return ::testing::AssertionFailure() << "pixel " << x << " from the wrong picture";
    }
    if (SourceLine(p) != row) {
      return ::testing::AssertionFailure() << "pixel " << x << " from line " << SourceLine(p);
    }
    if (want.loss == 0 && SourceColumn(p) != x) {
      return ::testing::AssertionFailure() << "unchanged pixel " << x << " moved";
    }
    if (x > left && SourceColumn(p) <= SourceColumn(run.out.Pixel(x - 1, row))) {
      return ::testing::AssertionFailure() << "pixel " << x << " out of order";
    }
  }
  return ::testing::AssertionSuccess();
}

TEST(RollTest, StartsOnAAndEndsOnB) {
  for (auto routine : {RollHorizontal, RollVertical}) {
    TransitionRun run(40, 30);
    routine(kEffectStep, run.Params(0, 100));
    EXPECT_TRUE(SamePicture(run.out, run.from));
    routine(kEffectStep, run.Params(100, 100));
    EXPECT_TRUE(SamePicture(run.out, run.to));
  }
}

// 40 columns, so n = floor(40 q 3 / 100): q 10 gives 12, q 34 exactly W = 40, q 50 gives 60,
// q 67 exactly 2 W = 80, q 80 gives 96.
TEST(RollTest, HorizontalRollGoesThroughItsThreePhases) {
  const int w = 40;
  const int h = 30;
  struct Case {
    int q;
    StripWant (*column)(int x);
  };
  const Case cases[] = {
      // A's first W - n columns unchanged, then its columns bending with x = 0, 1, ...
      {10,
       [](int x) {
         return x < 28 ? StripWant{false, 0} : StripWant{false, Loss(x - 28, w, h)};
       }},
      // n = W: the whole of A on the drum, column i at x = i.
      {34,
       [](int x) {
         return StripWant{false, Loss(x, w, h)};
       }},
      // m = 20: A's columns 0 to 19 at x = 20 + i, B's column W - k at x = W + k - 20; the
      // seam column W - m is seen edge-on.
      {50,
       [](int x) {
         return x < 20 ? StripWant{false, Loss(20 + x, w, h)}
                       : StripWant{true, Loss(w + (w - x) - 20, w, h)};
       }},
      // n = 2 W: all of B on the drum, column W - k at x = k.
      {67,
       [](int x) {
         return StripWant{true, Loss(w - x, w, h)};
       }},
      // B's rightmost n - 2 W = 16 columns unchanged, the others at x = 24 - i.
      {80,
       [](int x) {
         return x >= 24 ? StripWant{true, 0} : StripWant{true, Loss(24 - x, w, h)};
       }},
  };
  for (const Case& c : cases) {
    TransitionRun run(w, h);
    RollHorizontal(kEffectStep, run.Params(c.q, 100));
    for (int x = 0; x < w; ++x) {
      EXPECT_TRUE(ColumnIs(run, x, c.column(x))) << "q " << c.q << " column " << x;
    }
  }
  // The column losses the cases rely on: nothing at the flat end, all but nothing edge-on.
  EXPECT_EQ(Loss(0, w, h), 0);
  EXPECT_EQ(Loss(39, w, h), 28);
  EXPECT_EQ(Loss(40, w, h), 30);
}

// The vertical roll is the horizontal one turned: lines for columns, from the bottom line up.
TEST(RollTest, VerticalRollBendsLinesFromTheTop) {
  const int w = 30;
  const int h = 40;
  struct Case {
    int q;
    StripWant (*line)(int row);
  };
  const Case cases[] = {
      {10,
       [](int row) {
         return row < 28 ? StripWant{false, 0} : StripWant{false, Loss(row - 28, h, w)};
       }},
      {34,
       [](int row) {
         return StripWant{false, Loss(row, h, w)};
       }},
      {67,
       [](int row) {
         return StripWant{true, Loss(h - row, h, w)};
       }},
      {80,
       [](int row) {
         return row >= 24 ? StripWant{true, 0} : StripWant{true, Loss(24 - row, h, w)};
       }},
  };
  for (const Case& c : cases) {
    TransitionRun run(w, h);
    RollVertical(kEffectStep, run.Params(c.q, 100));
    for (int row = 0; row < h; ++row) {
      EXPECT_TRUE(LineIs(run, row, c.line(row))) << "q " << c.q << " row " << row;
    }
  }
}

// x^2 times the picture's size passes 32 bits on long sides: a strip only loses its lines at
// the seam (x = length), nowhere else.
TEST(RollTest, LongSidesDoNotOverflowTheShortening) {
  const int length = 50000;
  const int seam = length - 1000;  // q 34: n = 51000, m = 1000
  {
    TransitionRun run(length, 2);
    RollHorizontal(kEffectStep, run.Params(34, 100));
    for (int x : {0, seam - 1, seam, seam + 1, length - 1}) {
      for (int row = 0; row < 2; ++row) {
        const std::uint8_t* want = x < seam   ? run.from.Pixel(x, row)
                                   : x > seam ? run.to.Pixel(x, row)
                                              : nullptr;
        const std::uint8_t* got = run.out.Pixel(x, row);
        EXPECT_TRUE(want ? SamePixel(got, want) : IsBlack(got)) << "column " << x;
      }
    }
  }
  {
    TransitionRun run(2, length);
    RollVertical(kEffectStep, run.Params(34, 100));
    for (int row : {0, seam - 1, seam, seam + 1, length - 1}) {
      for (int x = 0; x < 2; ++x) {
        const std::uint8_t* want = row < seam   ? run.from.Pixel(x, row)
                                   : row > seam ? run.to.Pixel(x, row)
                                                : nullptr;
        const std::uint8_t* got = run.out.Pixel(x, row);
        EXPECT_TRUE(want ? SamePixel(got, want) : IsBlack(got)) << "row " << row;
      }
    }
  }
}

}  // namespace
}  // namespace lumafolio::testing
