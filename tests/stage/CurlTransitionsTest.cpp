// The page curls: their shading tables, the rolls Curl and CurlSoft take in turn, where A and B
// show around a roll, and the independent quarters of the four-roll forms.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "StagePictures.h"
#include "core/effects/EffectTable.h"
#include "core/effects/drawing/PageCurl.h"
#include "core/effects/transitions/TransitionRoutines.h"

namespace lumafolio::transitions {
namespace {

using lumafolio::testing::TransitionRun;

constexpr CurlMotion kHardRolls[] = {
    {2, 1, 50},  {-4, 3, 175}, {5, -3, 200}, {-2, 1, 50}, {1, 1, 75},   {2, -1, 100}, {-3, 1, 175},
    {7, -1, 75}, {3, 1, 125},  {-5, 1, 75},  {2, 1, 100}, {-2, 1, 100}, {10, 1, 200},
};
constexpr CurlMotion kSoftRolls[] = {
    {2, 1, 30},  {-4, -3, 40}, {1, 3, 20}, {2, -1, 50}, {3, 5, 25},  {-7, -1, 30}, {1, 1, 40},
    {7, -1, 30}, {3, 1, 60},   {1, 1, 20}, {3, 5, 40},  {7, -1, 30}, {2, 6, 35},   {10, 1, 25},
};

const double kSlope21 = 2 / std::sqrt(5.0);  // the horizontal share of direction (2, 1)

// ---------------------------------------------------------------------------------------------
// Shading tables

// The lighting of a hard roll's entry u, written out from its definition.
void HardLight(double a, double r, int u, int* front, int* back) {
  const double e = a * u;
  const double l = std::max(0.0, 2 * a * e * std::sqrt(r * r - e * e) / (r * r));
  *front = 32 + static_cast<int>(std::floor(64 * std::pow(l, 4)));
  *back = static_cast<int>(std::floor(32 * std::pow(l, 8)));
}

void SoftLight(double a, double r, int u, int* front, int* back) {
  const double v = a * u - r;
  const double z = 1 - 2 * v * v / (r * r);
  const double rising = std::max(0.0, 2 * a * v * std::sqrt(r * r - v * v) / (r * r));
  *front = static_cast<int>(std::floor(64 * std::pow(std::max(0.0, z), 4))) - 32;
  *back = static_cast<int>(std::floor(32 * std::pow(rising, 8)));
}

TEST(CurlShading, HardRollFollowsItsFormulas) {
  CurlProfile profile;
  BuildCurlProfile(1.0, 50, false, &profile);
  ASSERT_EQ(profile.last, 50);
  // e = 30, r = 50: L = 0.96, so 32 + floor(64 * 0.8493) and floor(32 * 0.7214).
  EXPECT_EQ(profile.frontLight[30], 86);
  EXPECT_EQ(profile.backLight[30], 23);

  BuildCurlProfile(kSlope21, 50, false, &profile);
  ASSERT_EQ(profile.last, 55);  // floor(50 / 0.894)
  for (int u : {1, 12, 28, 40, 55}) {
    int front = 0;
    int back = 0;
    HardLight(kSlope21, 50, u, &front, &back);
    EXPECT_EQ(profile.frontLight[u], front) << "u " << u;
    EXPECT_EQ(profile.backLight[u], back) << "u " << u;
    // The front shows the page r (pi - angle) back from the fold line.
    const double e = kSlope21 * u;
    const double arc = 50 * (3.141592654 - std::asin(e / 50));
    EXPECT_NEAR(profile.frontShift[u], e - arc, 1e-9) << "u " << u;
  }
}

TEST(CurlShading, SoftRollFollowsItsFormulas) {
  CurlProfile profile;
  BuildCurlProfile(1.0, 30, true, &profile);
  ASSERT_EQ(profile.last, 60);
  // v = 15: Z = 0.5 and P = sqrt(3) / 2, so floor(64 / 16) - 32 and floor(32 * 0.3164).
  EXPECT_EQ(profile.frontLight[45], -28);
  EXPECT_EQ(profile.backLight[45], 10);
  // On the axis (v = 0) the front is brightest and the back not lit.
  EXPECT_EQ(profile.frontLight[30], 32);
  EXPECT_EQ(profile.backLight[30], 0);
  // v = -20: the rising term is negative and is cut to 0 before the eighth power.
  EXPECT_EQ(profile.backLight[10], 0);
  // v = -25: Z < 0 is cut to 0 before the fourth power.
  EXPECT_EQ(profile.frontLight[5], -32);

  BuildCurlProfile(kSlope21, 30, true, &profile);
  ASSERT_EQ(profile.last, 67);  // floor(60 / 0.894)
  for (int u : {1, 20, 34, 50, 67}) {
    int front = 0;
    int back = 0;
    SoftLight(kSlope21, 30, u, &front, &back);
    EXPECT_EQ(profile.frontLight[u], front) << "u " << u;
    EXPECT_EQ(profile.backLight[u], back) << "u " << u;
    // The soft front's arc is one radius longer: r (pi - angle + 1).
    const double v = kSlope21 * u - 30;
    const double arc = 30 * (3.141592654 - std::asin(v / 30) + 1);
    EXPECT_NEAR(profile.frontShift[u], kSlope21 * u - arc, 1e-9) << "u " << u;
  }
}

TEST(CurlShading, ClampTableAddsWithinTheByteRange) {
  PageCurl curl;
  curl.Begin();
  const auto& table = curl.ClampTable();
  ASSERT_EQ(table.size(), 768u);
  EXPECT_EQ(table[0], 0);
  EXPECT_EQ(table[255], 0);
  EXPECT_EQ(table[256], 0);
  EXPECT_EQ(table[300], 44);
  EXPECT_EQ(table[511], 255);
  EXPECT_EQ(table[512], 255);
  EXPECT_EQ(table[767], 255);
  curl.End();
  EXPECT_TRUE(curl.ClampTable().empty());
}

// ---------------------------------------------------------------------------------------------
// Geometry around a roll

struct Zones {
  int ahead = 0;   // pixels checked to be A in place
  int behind = 0;  // pixels checked to be B in place
  int rolled = 0;  // pixels on the roll that are neither
  std::string fault;
};

// Checks `rect` of the output against a roll of `motion` at progress p: A in place ahead of the
// fold line, B in place further behind it than the roll is wide. The fold line leaves the near
// corner and travels the rectangle's extent along the direction plus 2 r.
Zones CheckAroundRoll(const TransitionRun& run, const CurlRect& rect, const CurlMotion& motion,
                      bool soft, double p) {
  const double length = std::hypot(motion.dx, motion.dy);
  const double nx = motion.dx / length;
  const double ny = motion.dy / length;
  const double nearX = nx >= 0 ? rect.left : rect.right;
  const double nearY = ny >= 0 ? rect.bottom : rect.top;
  const double extent =
      (rect.right - rect.left) * std::abs(nx) + (rect.top - rect.bottom) * std::abs(ny);
  const double fold = p * (extent + 2 * motion.radius);
  const double width = soft ? 2 * motion.radius : motion.radius;

  Zones zones;
  auto fault = [&](const char* what, int x, int row) {
    zones.fault = std::string(what) + " at " + std::to_string(x) + "," + std::to_string(row);
    return zones;
  };
  for (int row = rect.bottom; row < rect.top; ++row) {
    for (int x = rect.left; x < rect.right; ++x) {
      const double d = (x + 0.5 - nearX) * nx + (row + 0.5 - nearY) * ny;
      const std::uint8_t* o = run.out.Pixel(x, row);
      const bool isA = std::memcmp(o, run.from.Pixel(x, row), 3) == 0;
      const bool isB = std::memcmp(o, run.to.Pixel(x, row), 3) == 0;
      if (d > fold + 1) {
        ++zones.ahead;
        if (!isA) return fault("not A ahead", x, row);
      } else if (d < fold - width - 1) {
        ++zones.behind;
        if (!isB) return fault("not B behind", x, row);
      } else if (!isA && !isB) {
        ++zones.rolled;
      }
    }
  }
  return zones;
}

void ExpectRollAt(const TransitionRun& run, const CurlRect& rect, const CurlMotion& motion,
                  bool soft, double p, const std::string& what) {
  const Zones zones = CheckAroundRoll(run, rect, motion, soft, p);
  EXPECT_TRUE(zones.fault.empty()) << what << ": " << zones.fault;
  EXPECT_GT(zones.ahead, 0) << what;
  EXPECT_GT(zones.behind, 0) << what;
  EXPECT_GT(zones.rolled, 0) << what << ": no roll drawn";
}

bool RollFits(const TransitionRun& run, const CurlRect& rect, const CurlMotion& motion, bool soft,
              double p) {
  const Zones zones = CheckAroundRoll(run, rect, motion, soft, p);
  return zones.fault.empty() && zones.ahead > 0 && zones.behind > 0 && zones.rolled > 0;
}

// Draws step s of N of a whole transition (begin, step, end).
void RunOnce(TransitionRoutine routine, TransitionRun& run, int step, int lastStep) {
  EffectState state;
  EffectParams params = run.Params(step, lastStep);
  routine(kEffectBegin, params, state);
  routine(kEffectStep, params, state);
  routine(kEffectEnd, params, state);
}

TEST(CurlGeometry, DirectionWithoutHorizontalPartStillRolls) {
  EXPECT_GT(CurlSlope(0, 5), 0.0);
  TransitionRun run(60, 200);
  const StageView view(run.Params(0, 1));
  const CurlRect all{0, 0, 60, 200};
  PageCurl curl;
  curl.Begin();
  curl.DrawRect(view, all, CurlMotion{0, 3, 20}, false, 0.0);
  EXPECT_EQ(run.out.bytes, run.from.bytes);
  curl.DrawRect(view, all, CurlMotion{0, 3, 20}, false, 1.0);
  EXPECT_EQ(run.out.bytes, run.to.bytes);
  // Upward: B at the bottom, A at the top, the roll between.
  curl.DrawRect(view, all, CurlMotion{0, 3, 20}, false, 0.5);
  EXPECT_EQ(std::memcmp(run.out.Pixel(30, 5), run.to.Pixel(30, 5), 3), 0);
  EXPECT_EQ(std::memcmp(run.out.Pixel(30, 190), run.from.Pixel(30, 190), 3), 0);
  curl.End();
}

// ---------------------------------------------------------------------------------------------
// Curl and CurlSoft: one roll per transition from a list

struct ListCurl {
  int index;  // the table row that runs it
  const CurlMotion* rolls;
  int count;
  bool soft;
  TransitionRoutine Routine() const { return TransitionTable()[index].routine; }
};

void PrintTo(const ListCurl& curl, std::ostream* os) { *os << TransitionTable()[curl.index].name; }

class CurlList : public ::testing::TestWithParam<ListCurl> {};

// A fresh state slot starts at the head of the list: the test finds the one position from which
// the list's rolls, taken in turn, explain every frame, and that must be the first.
TEST_P(CurlList, TakesItsRollsInTurnAndWrapsRound) {
  EffectState state;
  const ListCurl& curl = GetParam();
  const TransitionRoutine routine = curl.Routine();
  const int runs = curl.count + 2;  // every start position crosses the wrap
  const CurlRect all{0, 0, 480, 360};
  TransitionRun run(480, 360);
  std::vector<std::vector<std::uint8_t>> frames;
  for (int i = 0; i < runs; ++i) {
    EffectParams params = run.Params(50, 100);
    routine(kEffectBegin, params, state);
    routine(kEffectStep, params, state);
    routine(kEffectStep, params, state);  // steps do not move the list on
    routine(kEffectEnd, params, state);
    frames.push_back(run.out.bytes);
  }

  std::vector<int> starts;
  for (int k = 0; k < curl.count; ++k) {
    bool fits = true;
    for (int i = 0; i < runs && fits; ++i) {
      run.out.bytes = frames[i];
      fits = RollFits(run, all, curl.rolls[(k + i) % curl.count], curl.soft, 0.5);
    }
    if (fits) starts.push_back(k);
  }
  ASSERT_EQ(starts.size(), 1u) << "no single list position explains the frames";
  EXPECT_EQ(starts[0], 0) << "a fresh slot did not start at the head of the list";
}

TEST_P(CurlList, EveryRollStartsOnAAndEndsOnB) {
  EffectState state;
  const ListCurl& curl = GetParam();
  const TransitionRoutine routine = curl.Routine();
  TransitionRun run(203, 151);
  for (int i = 0; i < curl.count; ++i) {
    EffectParams params = run.Params(0, 30);
    routine(kEffectBegin, params, state);
    routine(kEffectStep, params, state);
    EXPECT_EQ(run.out.bytes, run.from.bytes) << "run " << i;
    params = run.Params(30, 30);
    routine(kEffectStep, params, state);
    EXPECT_EQ(run.out.bytes, run.to.bytes) << "run " << i;
    routine(kEffectEnd, params, state);
  }
}

std::string ListName(const ::testing::TestParamInfo<ListCurl>& param) {
  return lumafolio::testing::TransitionTestName(param.param.index);
}

INSTANTIATE_TEST_SUITE_P(Families, CurlList,
                         ::testing::Values(ListCurl{25, kHardRolls, 13, false},
                                           ListCurl{27, kSoftRolls, 14, true}),
                         ListName);

// ---------------------------------------------------------------------------------------------
// CurlQuad and CurlSoftQuad: four rolls, one per quarter

struct QuadCurl {
  int index;  // the table row that runs it
  int dx;     // of the top right quarter; the others mirror it towards their own corners
  int dy;
  int radius;
  bool soft;
};

void PrintTo(const QuadCurl& quad, std::ostream* os) { *os << TransitionTable()[quad.index].name; }

class CurlQuarters : public ::testing::TestWithParam<QuadCurl> {};

// The quarters split at W / 2 and H / 2 (rows bottom-up), each with its roll: bottom left, top
// left, bottom right, top right.
std::vector<std::pair<CurlRect, CurlMotion>> Quarters(const QuadCurl& quad, int w, int h) {
  const int mx = w / 2;
  const int my = h / 2;
  return {
      {CurlRect{0, 0, mx, my}, CurlMotion{-quad.dx, -quad.dy, quad.radius}},
      {CurlRect{0, my, mx, h}, CurlMotion{-quad.dx, quad.dy, quad.radius}},
      {CurlRect{mx, 0, w, my}, CurlMotion{quad.dx, -quad.dy, quad.radius}},
      {CurlRect{mx, my, w, h}, CurlMotion{quad.dx, quad.dy, quad.radius}},
  };
}

TEST_P(CurlQuarters, StartOnAAndEndOnB) {
  const QuadCurl& quad = GetParam();
  for (auto [w, h] : {std::pair{160, 120}, std::pair{203, 151}, std::pair{3, 1}}) {
    TransitionRun run(w, h);
    RunOnce(TransitionTable()[quad.index].routine, run, 0, 40);
    EXPECT_EQ(run.out.bytes, run.from.bytes) << w << "x" << h;
    RunOnce(TransitionTable()[quad.index].routine, run, 40, 40);
    EXPECT_EQ(run.out.bytes, run.to.bytes) << w << "x" << h;
  }
}

TEST_P(CurlQuarters, EachQuarterRollsFromTheCentreToItsOuterCorner) {
  const QuadCurl& quad = GetParam();
  TransitionRun run(480, 360);
  RunOnce(TransitionTable()[quad.index].routine, run, 50, 100);
  for (const auto& [rect, motion] : Quarters(quad, 480, 360)) {
    ExpectRollAt(run, rect, motion, quad.soft, 0.5,
                 "quarter at " + std::to_string(rect.left) + "," + std::to_string(rect.bottom));
  }
  // The centre, where all four rolls start, is B; the outer corners are still A.
  EXPECT_EQ(std::memcmp(run.out.Pixel(240, 180), run.to.Pixel(240, 180), 3), 0);
  EXPECT_EQ(std::memcmp(run.out.Pixel(0, 0), run.from.Pixel(0, 0), 3), 0);
  EXPECT_EQ(std::memcmp(run.out.Pixel(479, 359), run.from.Pixel(479, 359), 3), 0);
}

// Changing A and B outside one quarter leaves that quarter's output as it was.
TEST_P(CurlQuarters, EachQuarterUsesOnlyItsOwnPixels) {
  const QuadCurl& quad = GetParam();
  const int w = 203;
  const int h = 151;
  for (int step : {7, 13, 20}) {
    TransitionRun plain(w, h);
    RunOnce(TransitionTable()[quad.index].routine, plain, step, 30);
    for (const auto& [rect, motion] : Quarters(quad, w, h)) {
      TransitionRun changed(w, h);
      for (int row = 0; row < h; ++row) {
        for (int x = 0; x < w; ++x) {
          if (x >= rect.left && x < rect.right && row >= rect.bottom && row < rect.top) continue;
          for (int c = 0; c < 3; ++c) {
            changed.from.Pixel(x, row)[c] ^= 0xff;
            changed.to.Pixel(x, row)[c] ^= 0x5a;
          }
        }
      }
      RunOnce(TransitionTable()[quad.index].routine, changed, step, 30);
      for (int row = rect.bottom; row < rect.top; ++row) {
        ASSERT_EQ(std::memcmp(changed.out.Pixel(rect.left, row), plain.out.Pixel(rect.left, row),
                              static_cast<std::size_t>(rect.right - rect.left) * 3),
                  0)
            << "step " << step << ", quarter at " << rect.left << "," << rect.bottom << ", row "
            << row;
      }
    }
  }
}

std::string QuadName(const ::testing::TestParamInfo<QuadCurl>& param) {
  return lumafolio::testing::TransitionTestName(param.param.index);
}

INSTANTIATE_TEST_SUITE_P(Families, CurlQuarters,
                         ::testing::Values(QuadCurl{7, 4, 3, 100, false},
                                           QuadCurl{8, 3, 4, 30, true}),
                         QuadName);

}  // namespace
}  // namespace lumafolio::transitions
