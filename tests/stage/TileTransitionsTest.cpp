#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "StagePictures.h"
#include "core/effects/EffectParams.h"
#include "core/effects/EffectRandom.h"
#include "core/effects/drawing/TilePieces.h"
#include "core/effects/transitions/TransitionRoutines.h"

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

  EffectState state;  // as a library record holds it
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
        return ::testing::AssertionFailure() << "pixel " << x << ", row " << row << " differs";
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
constexpr std::int64_t kFlightAtStep99 = 432496;  // lifts Y >= 75 by 30 lines and more

using ShatterTest = FixedClockTest;

TEST_F(ShatterTest, PiecesFlyByTheirRandomFactors) {
  struct Case {
    int w, h, variant, size, step;
    std::int64_t g;
  };
  const Case cases[] = {
      {40, 40, 4, 4, 50, kFlightAtStep50},  // tiles of 4
      {40, 30, 0, 2, 50, kFlightAtStep50},  // Shatter's 2 x 2 pieces
      // Hardly moved yet (at most a pixel sideways): the top right piece, which ends at the last
      // byte of A (40 pixels need no row padding), is still drawn.
      {40, 30, 0, 2, 1, kFlightAtStep1},
      {40, 30, 20, 10, 1, kFlightAtStep1},  // 20 does not divide 30: lowered to 10
      {23, 17, 8, 1, 50, kFlightAtStep50},  // nothing divides: single pixels
      {9, 1, 0, 1, 50, kFlightAtStep50},    // one line: no upward spread to draw
      {40, 30, 8, 5, 99, kFlightAtStep99},  // every piece gone: B
  };
  for (const Case& c : cases) {
    TransitionRun run(c.w, c.h);
    const auto routine = c.variant == 0 ? Shatter : ShatterTiles;
    routine(kEffectBegin, WithVariant(run.Params(0, 100), c.variant), state);
    routine(kEffectStep, WithVariant(run.Params(c.step, 100), c.variant), state);
    routine(kEffectEnd, EffectParams{}, state);
    EXPECT_TRUE(SamePicture(run.out, ShatterFrame(run, c.size, c.g)))
        << c.w << "x" << c.h << " variant " << c.variant << " step " << c.step;
  }
}

// Tiles made for the classic stage grow with a larger one and still divide both of its sides;
// the classic stage and smaller pictures keep the sizes as they are.
TEST(StageScaledTiles, GrowWithTheStageAndStillDivideIt) {
  const struct {
    int wanted, w, h, size;
  } cases[] = {
      {20, 800, 600, 20},   {20, 400, 300, 20},  {2, 1920, 1080, 3},   {4, 1920, 1080, 6},
      {20, 1920, 1080, 30}, {8, 3840, 2160, 24}, {20, 3840, 2160, 60}, {8, 1366, 768, 2},
  };
  for (const auto& [wanted, w, h, size] : cases) {
    EXPECT_EQ(transitions::TileSizeFor(wanted, w, h), size) << wanted << " at " << w << "x" << h;
  }
  // A wide stage grows lengths only as much as its shorter way allows.
  EXPECT_EQ(transitions::StageScaled(100, 1920, 1080), 180);
  EXPECT_EQ(transitions::StageScaled(100, 2560, 600), 100);
}

TEST_F(ShatterTest, StepWithoutBeginDrawsTheSamePieces) {
  TransitionRun run(40, 40);
  ShatterTiles(kEffectEnd, EffectParams{}, state);
  ShatterTiles(kEffectStep, WithVariant(run.Params(50, 100), 4), state);
  EXPECT_TRUE(SamePicture(run.out, ShatterFrame(run, 4, kFlightAtStep50)));
  ShatterTiles(kEffectEnd, EffectParams{}, state);
}

// ---------------------------------------------------------------------------------------------
// Scatter

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

// The frame Scatter must draw with spread u and turn-over point `shown`: on black, each `size`
// x `size` piece (bottom row first) at its place plus (u dx >> 10, u dy >> 10), from B when
// shown >= its threshold (rand() mod 255 + 1, drawn before dx and dy), in drawing order.
StagePicture ScatterFrame(const TransitionRun& run, int u, int shown, int size = 2) {
  const int w = run.from.width;
  const int h = run.from.height;
  StagePicture frame(w, h);
  EffectSrand(static_cast<unsigned>(kClock));
  for (int y = 0; y < h; y += size) {
    for (int x = 0; x < w; x += size) {
      const int threshold = EffectRand() % 255 + 1;
      const int dx = ScatterOffset(x, w);
      const int dy = ScatterOffset(y, h);
      PutBlock(frame, shown >= threshold ? run.to : run.from, x, y, x + ((u * dx) >> 10),
               y + ((u * dy) >> 10), std::min(size, w - x), std::min(size, h - y));
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
  // Pieces are placed eight at a time where a row has enough of them, the rest one by one:
  // 41 x 33 has 16 such pieces, 4 more and an odd column and row.
  for (auto [w, h] :
       {std::pair{24, 18}, std::pair{25, 17}, std::pair{160, 120}, std::pair{41, 33}}) {
    TransitionRun run(w, h);
    Scatter(kEffectBegin, run.Params(0, 100), state);
    for (const Case& c : cases) {
      Scatter(kEffectStep, run.Params(c.step, 100), state);
      EXPECT_TRUE(SamePicture(run.out, ScatterFrame(run, c.u, c.shown)))
          << w << "x" << h << " step " << c.step;
    }
    Scatter(kEffectEnd, EffectParams{}, state);
  }
}

// A side of one pixel leaves the pivot and offset ranges empty (rand() mod 0); the pieces then
// stay on their axis.
TEST_F(ScatterTest, OnePixelSidesKeepThePiecesOnTheirAxis) {
  for (auto [w, h] : {std::pair{1, 7}, std::pair{7, 1}, std::pair{1, 1}}) {
    TransitionRun run(w, h);
    Scatter(kEffectBegin, run.Params(0, 10), state);
    Scatter(kEffectStep, run.Params(5, 10), state);
    EXPECT_TRUE(SamePicture(run.out, ScatterFrame(run, 808, 128))) << w << "x" << h;
    Scatter(kEffectStep, run.Params(10, 10), state);
    EXPECT_TRUE(SamePicture(run.out, run.to)) << w << "x" << h;
    Scatter(kEffectEnd, EffectParams{}, state);
  }
}

// A full-HD stage grows the pieces with it: 3 x 3, flying as the small ones do.
TEST_F(ScatterTest, FullHdStageScattersLargerPieces) {
  TransitionRun run(1920, 1080);
  Scatter(kEffectBegin, run.Params(0, 100), state);
  Scatter(kEffectStep, run.Params(30, 100), state);
  EXPECT_TRUE(SamePicture(run.out, ScatterFrame(run, 600, 76, 3)));
  Scatter(kEffectEnd, EffectParams{}, state);
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
  EffectState state;
  TransitionRun run(40, 30);
  Implode(kEffectStep, WithVariant(run.Params(9, 1000), 4), state);
  EXPECT_TRUE(SamePicture(run.out, run.from));
}

// On a picture of a single tile the tile stays at the centre and only the jitter moves it: a
// corner pushed below 0 is put back at 0, one pushed right or up is cut at the edge. Swap draws
// on black A's tile, then B's with its own jitter on top.
TEST(JitterTest, SingleTileMovesByItsJitterAndClampsAtZero) {
  EffectState state;
  for (unsigned seed = 1; seed <= 24; ++seed) {
    TransitionRun run(4, 4);
    EffectSrand(seed);
    const auto [ax, ay] = NextJitter(4);
    const auto [bx, by] = NextJitter(4);
    EffectSrand(seed);
    Implode(kEffectStep, WithVariant(run.Params(50, 100), 4), state);
    StagePicture want = run.to;
    PutBlock(want, run.from, 0, 0, std::max(0, ax), std::max(0, ay), 4, 4);
    EXPECT_TRUE(SamePicture(run.out, want)) << "implode, seed " << seed;

    EffectSrand(seed);
    Swap(kEffectStep, WithVariant(run.Params(50, 100), 4), state);
    want = StagePicture(4, 4);
    PutBlock(want, run.from, 0, 0, std::max(0, ax), std::max(0, ay), 4, 4);
    PutBlock(want, run.to, 0, 0, std::max(0, bx), std::max(0, by), 4, 4);
    EXPECT_TRUE(SamePicture(run.out, want)) << "swap, seed " << seed;
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
// at 100 percent they all sit on the centre.
TEST(ImplodeTest, TilesGatherTowardTheCentre) {
  EffectState state;
  struct Case {
    int q, low, high;  // A's box has its sides in low..low + 7 and high - 7..high
  };
  // q 50: the outer tiles' centres (2 and 398, the centre being 200) move to 101 and 299.
  for (const Case& c : {Case{50, 95, 303}, Case{100, 194, 204}}) {
    TransitionRun run(400, 400);
    EffectSrand(5);
    Implode(kEffectStep, WithVariant(run.Params(c.q, 100), 4), state);
    const std::vector<int> box = BoxOfA(run.out);
    for (int side = 0; side < 2; ++side) {
      EXPECT_TRUE(box[side] >= c.low && box[side] <= c.low + 7) << "q " << c.q;
      EXPECT_TRUE(box[side + 2] >= c.high - 7 && box[side + 2] <= c.high) << "q " << c.q;
    }
  }
}

TEST(SwapTest, OldTilesLeaveBeforeNinetyNewOnesComeAfterTen) {
  EffectState state;
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
    Swap(kEffectStep, WithVariant(run.Params(c.q, 100), 4), state);
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

// Reads which line and column of A or B a pixel of the test pictures was taken from: A has them
// in red and green, B as 255 minus them.
int SourceLine(const std::uint8_t* p) { return IsFromA(p) ? p[2] : 255 - p[2]; }
int SourceColumn(const std::uint8_t* p) { return IsFromA(p) ? p[1] : 255 - p[1]; }

// The loss of a strip at drum position x: 2 floor((across / 2) x^2 / length^2).
int Loss(int x, int length, int across) {
  return static_cast<int>(2 * (std::int64_t{across / 2} * x * x / (std::int64_t{length} * length)));
}

// Strip j of a roll (column j, or line j of the vertical form): `loss` / 2 black pixels at each
// end, between them strip j of A or B in order, unmoved where the loss is 0.
::testing::AssertionResult StripIs(const TransitionRun& run, bool vertical, int j, bool fromB,
                                   int loss) {
  const int size = vertical ? run.out.width : run.out.height;
  int previous = -1;
  for (int i = 0; i < size; ++i) {
    const std::uint8_t* p = vertical ? run.out.Pixel(i, j) : run.out.Pixel(j, i);
    const int across = vertical ? SourceLine(p) : SourceColumn(p);
    const int along = vertical ? SourceColumn(p) : SourceLine(p);
    const bool black = i < loss / 2 || i >= size - loss / 2;
    const bool ok = black ? IsBlack(p)
                          : (fromB ? IsFromB(p) : IsFromA(p)) && across == j && along > previous &&
                                (loss != 0 || along == i);
    if (!ok) return ::testing::AssertionFailure() << "wrong pixel " << i << " along the strip";
    if (!black) previous = along;
  }
  return ::testing::AssertionSuccess();
}

// Both forms on 40 strips of 30 pixels: n = floor(40 q 3 / 100) is 12 at q 10, exactly W at q
// 34, 60 at q 50, exactly 2 W at q 67 and 96 at q 80. The vertical form counts lines from the
// bottom, so it bends from the top.
TEST(RollTest, GoesThroughItsThreePhases) {
  struct Want {
    bool fromB;
    int x;  // drum position, 0 for a strip left as it is
  };
  struct Case {
    int q;
    Want (*strip)(int j);
  };
  const Case cases[] = {
      // A's first W - n strips unchanged, then A's strips bending with x = 0, 1, ...
      {10,
       [](int j) {
         return j < 28 ? Want{false, 0} : Want{false, j - 28};
       }},
      // n = W: all of A on the drum, strip i at x = i.
      {34,
       [](int j) {
         return Want{false, j};
       }},
      // m = 20: A's strip i at x = 20 + i, B's strip W - k at x = W + k - 20; the seam strip
      // W - m is edge-on (x = W, no pixel left).
      {50,
       [](int j) {
         return j < 20 ? Want{false, 20 + j} : Want{true, 60 - j};
       }},
      // n = 2 W: all of B on the drum, strip W - k at x = k.
      {67,
       [](int j) {
         return Want{true, 40 - j};
       }},
      // B's last n - 2 W = 16 strips unchanged, the others at x = 24 - i.
      {80,
       [](int j) {
         return j >= 24 ? Want{true, 0} : Want{true, 24 - j};
       }},
  };
  for (bool vertical : {false, true}) {
    for (const Case& c : cases) {
      TransitionRun run(vertical ? 30 : 40, vertical ? 40 : 30);
      EffectState state;
      (vertical ? RollVertical : RollHorizontal)(kEffectStep, run.Params(c.q, 100), state);
      for (int j = 0; j < 40; ++j) {
        const Want want = c.strip(j);
        EXPECT_TRUE(StripIs(run, vertical, j, want.fromB, Loss(want.x, 40, 30)))
            << (vertical ? "line " : "column ") << j << " at q " << c.q;
      }
    }
  }
  EXPECT_EQ(Loss(39, 40, 30), 28);
  EXPECT_EQ(Loss(40, 40, 30), 30);
}

// x^2 times the picture's size passes 32 bits on long sides. At q 34 on 50000 strips (m = 1000)
// only the seam strip, at x = length, loses its two pixels.
TEST(RollTest, LongSidesDoNotOverflowTheShortening) {
  const int length = 50000;
  const int seam = length - 1000;
  for (bool vertical : {false, true}) {
    TransitionRun run(vertical ? 2 : length, vertical ? length : 2);
    EffectState state;
    (vertical ? RollVertical : RollHorizontal)(kEffectStep, run.Params(34, 100), state);
    for (int j : {0, seam - 1, seam, seam + 1, length - 1}) {
      for (int i = 0; i < 2; ++i) {
        const int x = vertical ? i : j;
        const int row = vertical ? j : i;
        const std::uint8_t* got = run.out.Pixel(x, row);
        const bool ok = j < seam   ? SamePixel(got, run.from.Pixel(x, row))
                        : j > seam ? SamePixel(got, run.to.Pixel(x, row))
                                   : IsBlack(got);
        EXPECT_TRUE(ok) << (vertical ? "line " : "column ") << j;
      }
    }
  }
}

}  // namespace
}  // namespace lumafolio::testing
