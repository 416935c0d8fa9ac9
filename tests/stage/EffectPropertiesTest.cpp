// Properties every transition of the table must have, whatever it draws: it stays inside its
// buffers at any size, starts on A and ends on B where it should, draws the same frames from the
// same seed and clock, and every output pixel comes from where its family says.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "StagePictures.h"
#include "core/effects/EffectLibrary.h"
#include "core/effects/EffectRandom.h"

namespace lumafolio {
namespace {

using testing::StagePicture;
using testing::TransitionRun;

std::clock_t FixedClock() { return 4242; }

// Where the pixels of an effect's frames may come from.
enum class Origin {
  kInPlace,           // each pixel is A's or B's pixel at the same place
  kInPlaceOrBurning,  // as kInPlace, or the orange and yellow of a burning edge
  kPictures,          // each pixel is some pixel of A or B, possibly moved or repeated
  kPicturesOrBlack,   // as kPictures, or black
  kBlended,           // mixes, shades or brightens: no colour rule
};

Origin OriginOf(int index) {
  switch (index) {
    case 4:
    case 5:
    case 54:
    case 55:
    case 56:
    case 57:  // wipes
    case 34:
    case 35:
    case 36:
    case 37:  // blinds
    case 24:
    case 15:
    case 16:
    case 17:  // cut, blocks
    case 9:
    case 28:
    case 53:  // clock, fan, drip
      return Origin::kInPlace;
    case 6:
      return Origin::kInPlaceOrBurning;
    case 0:
    case 1:
    case 29:
    case 30:
    case 31:
    case 32:  // pushes
    case 2:
    case 3:
    case 38:
    case 39:
    case 40:
    case 41:  // slides
    case 19:
    case 20:
    case 21:
    case 22:  // stretches
    case 18:
    case 44:
    case 45:
    case 46:
    case 47:
    case 48:  // doors, flap, swings
    case 10:
    case 11:
    case 12:
    case 13:
    case 49:  // shatters, implode
      return Origin::kPictures;
    case 33:
    case 42:
    case 43:
    case 50:
    case 51:
    case 52:  // scatter, flips, swap, rolls
      return Origin::kPicturesOrBlack;
    default:
      return Origin::kBlended;  // fade, flash, fold, the curls
  }
}

// Clock and fan leave the output as it was on their first step (nothing swept yet).
bool LeavesFirstFrameUnwritten(int index) { return index == 9 || index == 28; }
// Burn ends with its highest points still glowing; implode ends with A's tiles gathered in the
// centre; both are what these effects draw on their last step.
bool EndsOnB(int index) { return index != 6 && index != 49; }

// A's colours have an odd blue tied to green and red; B's are a checker of blue 60 and 200
// (see StagePictures), so a colour alone tells which picture it can come from.
bool IsColourOfA(const std::uint8_t* p) { return p[0] == (((p[1] + p[2]) & 127) * 2 + 1); }
bool IsColourOfB(const std::uint8_t* p) {
  const int x = 255 - p[1];
  const int row = 255 - p[2];
  const bool light = ((x / 16) + (row / 16)) % 2 == 0;
  return p[0] == (light ? 200 : 60);
}
bool IsBlack(const std::uint8_t* p) { return p[0] == 0 && p[1] == 0 && p[2] == 0; }
bool IsBurning(const std::uint8_t* p) {
  const bool orange = p[0] == 0 && p[1] == 112 && p[2] == 255;
  const bool yellow = (p[0] == 40 || p[0] == 64) && p[1] == 255 && p[2] == 255;
  return orange || yellow;
}

// The first pixel (x, row) that breaks the origin rule, or an empty string.
std::string FirstStrayPixel(const TransitionRun& run, Origin origin) {
  for (int row = 0; row < run.out.height; ++row) {
    for (int x = 0; x < run.out.width; ++x) {
      const std::uint8_t* o = run.out.Pixel(x, row);
      bool ok = true;
      switch (origin) {
        case Origin::kInPlace:
        case Origin::kInPlaceOrBurning:
          ok = std::memcmp(o, run.from.Pixel(x, row), 3) == 0 ||
               std::memcmp(o, run.to.Pixel(x, row), 3) == 0 ||
               (origin == Origin::kInPlaceOrBurning && IsBurning(o));
          break;
        case Origin::kPictures:
          ok = IsColourOfA(o) || IsColourOfB(o);
          break;
        case Origin::kPicturesOrBlack:
          ok = IsColourOfA(o) || IsColourOfB(o) || IsBlack(o);
          break;
        case Origin::kBlended:
          break;
      }
      if (!ok) {
        return "pixel " + std::to_string(x) + "," + std::to_string(row) + " = " +
               std::to_string(o[0]) + "/" + std::to_string(o[1]) + "/" + std::to_string(o[2]);
      }
    }
  }
  return {};
}

class EveryTransition : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override { SetEffectClock(FixedClock); }
  void TearDown() override { SetEffectClock(nullptr); }

  // Begins as the stage does (pictures present, step 0 of 100), then draws `steps` through
  // `onStep`, then ends.
  template <typename OnStep>
  void RunAll(TransitionRun& run, int lastStep, OnStep onStep) {
    EffectLibrary library;
    const int index = GetParam();
    EffectParams begin = run.Params(0, 100);
    library.RunTransitionEffect(index, kEffectBegin, &begin);
    for (int step = 0; step <= lastStep; ++step) {
      EffectParams params = run.Params(step, lastStep);
      library.RunTransitionEffect(index, kEffectStep, &params);
      onStep(step);
    }
    library.RunTransitionEffect(index, kEffectEnd, nullptr);
  }
};

// Under AddressSanitizer the buffers have no slack, so any access outside them fails the run.
// Sizes that nothing divides evenly, single lines and columns, and the stage itself.
TEST_P(EveryTransition, StaysInsideItsBuffersAtAnySize) {
  const std::pair<int, int> sizes[] = {{1, 1}, {2, 3}, {7, 1}, {1, 9}, {203, 151}, {33, 600}};
  for (auto [w, h] : sizes) {
    TransitionRun run(w, h);
    RunAll(run, 12, [](int) {});
  }
  TransitionRun stage(800, 600);
  RunAll(stage, 4, [](int) {});
}

// The stage begins an effect with its pictures, but a library may also be begun without any
// (a caller that has none yet); the following steps must still draw correctly.
TEST_P(EveryTransition, StepsAfterABeginWithoutPicturesStillDraw) {
  EffectLibrary library;
  const int index = GetParam();
  library.RunTransitionEffect(index, kEffectBegin, nullptr);
  TransitionRun run(40, 30);
  EffectParams last = run.Params(10, 10);
  library.RunTransitionEffect(index, kEffectStep, &last);
  library.RunTransitionEffect(index, kEffectEnd, nullptr);
  if (EndsOnB(index)) {
    EXPECT_EQ(run.out.bytes, run.to.bytes);
  }
}

// On the stage's proportions, on odd sizes that no strip, band or cell count divides, and on one
// smaller than the effect's 16 bands, with odd step counts.
TEST_P(EveryTransition, StartsOnAAndEndsOnB) {
  const int index = GetParam();
  const struct { int width, height, lastStep; } runs[] = {{160, 120, 20}, {37, 23, 7}, {7, 5, 30}};
  for (const auto& [width, height, lastStep] : runs) {
    TransitionRun run(width, height);
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    RunAll(run, lastStep, [&](int step) {
      if (step == 0 && !LeavesFirstFrameUnwritten(index)) {
        EXPECT_EQ(run.out.bytes, run.from.bytes) << size << ": first frame is not A";
      }
      if (step == 0 && LeavesFirstFrameUnwritten(index)) {
        EXPECT_TRUE(
            std::all_of(run.out.bytes.begin(), run.out.bytes.end(), [](auto b) { return b == 0; }))
            << size << ": first frame was written";
      }
      if (step == lastStep && EndsOnB(index)) {
        EXPECT_EQ(run.out.bytes, run.to.bytes) << size << ": last frame is not B";
      }
    });
  }
}

// The page curls take their direction from a list whose position advances at every end: after
// going once round the list the same frames come again.
int CurlListLength(int index) {
  if (index == 25) return 13;
  if (index == 27) return 14;
  return 1;
}

TEST_P(EveryTransition, DrawsTheSameFramesFromTheSameSeed) {
  const int index = GetParam();
  std::vector<std::vector<std::uint8_t>> first;
  std::vector<std::vector<std::uint8_t>> second;
  for (auto* frames : {&first, &second}) {
    EffectSrand(777);
    TransitionRun run(96, 64);
    RunAll(run, 16, [&](int) { frames->push_back(run.out.bytes); });
    EffectLibrary library;
    for (int turn = 1; turn < CurlListLength(index); ++turn) {
      library.RunTransitionEffect(index, kEffectBegin, nullptr);
      library.RunTransitionEffect(index, kEffectEnd, nullptr);
    }
  }
  ASSERT_EQ(first.size(), second.size());
  for (std::size_t step = 0; step < first.size(); ++step) {
    EXPECT_EQ(first[step], second[step]) << "step " << step;
  }
}

TEST_P(EveryTransition, EveryPixelComesFromWhereItsFamilySays) {
  const int index = GetParam();
  const Origin origin = OriginOf(index);
  if (origin == Origin::kBlended) GTEST_SKIP() << "blends have no colour rule";
  TransitionRun run(160, 120);
  RunAll(run, 24, [&](int step) {
    if (step == 0 && LeavesFirstFrameUnwritten(index)) return;
    const std::string stray = FirstStrayPixel(run, origin);
    EXPECT_TRUE(stray.empty()) << "step " << step << ": " << stray;
  });
}

// Every moving effect shows something between A and B at its middle step: a routine left as a
// plain copy would not.
TEST_P(EveryTransition, ShowsAnInBetweenFrame) {
  const int index = GetParam();
  TransitionRun run(160, 120);
  bool between = false;
  RunAll(run, 20, [&](int step) {
    if (step == 10) between = run.out.bytes != run.from.bytes && run.out.bytes != run.to.bytes;
  });
  if (index == kCutTransitionIndex) {
    EXPECT_EQ(run.out.bytes, run.to.bytes);
  } else {
    EXPECT_TRUE(between);
  }
}

// The first pixel where two pictures of one size differ, or an empty string (row padding is
// not compared).
std::string FirstDifferentPixel(const StagePicture& actual, const StagePicture& expected) {
  const auto rowBytes = static_cast<std::size_t>(actual.width) * 3;
  for (int row = 0; row < actual.height; ++row) {
    if (std::memcmp(actual.Pixel(0, row), expected.Pixel(0, row), rowBytes) == 0) continue;
    int x = 0;
    while (std::memcmp(actual.Pixel(x, row), expected.Pixel(x, row), 3) == 0) ++x;
    return "pixel " + std::to_string(x) + "," + std::to_string(row) + " differs";
  }
  return {};
}

// Stages of a screen's size, full HD and one that no strip, band or cell count divides: every
// transition starts on A and ends on B, with the sanitizers watching each access, and keeps to
// its family's colours half-way on the odd stage. The output is filled with a colour neither
// picture has before each step, so a part of the stage the effect forgets to draw shows. Three
// steps each: whole runs at this size take minutes under the sanitizers.
TEST(LargeStage, EveryTransitionCoversTheWholeStage) {
  SetEffectClock(FixedClock);
  for (const auto& [width, height] : {std::pair{1920, 1080}, std::pair{1366, 768}}) {
    TransitionRun run(width, height);
    for (int index = 0; index < kRandomTransitionIndex; ++index) {
      const std::string name = testing::TransitionTestName(index) + " at " + std::to_string(width) +
                               "x" + std::to_string(height);
      EffectLibrary library;
      EffectParams begin = run.Params(0, 100);
      library.RunTransitionEffect(index, kEffectBegin, &begin);
      for (const int step : {0, 50, 100}) {
        std::fill(run.out.bytes.begin(), run.out.bytes.end(), std::uint8_t{0x5a});
        EffectParams params = run.Params(step, 100);
        library.RunTransitionEffect(index, kEffectStep, &params);
        if (step == 0 && !LeavesFirstFrameUnwritten(index)) {
          EXPECT_EQ(FirstDifferentPixel(run.out, run.from), "") << name << ": first frame";
        } else if (step == 50 && width == 1366) {
          const std::string stray = FirstStrayPixel(run, OriginOf(index));
          EXPECT_TRUE(stray.empty()) << name << ", middle step: " << stray;
        } else if (step == 100 && EndsOnB(index)) {
          EXPECT_EQ(FirstDifferentPixel(run.out, run.to), "") << name << ": last frame";
        }
      }
      library.RunTransitionEffect(index, kEffectEnd, nullptr);
    }
  }
  SetEffectClock(nullptr);
}

std::string RowName(const ::testing::TestParamInfo<int>& param) {
  return testing::TransitionTestName(param.param);
}

INSTANTIATE_TEST_SUITE_P(Table, EveryTransition, ::testing::Range(0, kRandomTransitionIndex),
                         RowName);

}  // namespace
}  // namespace lumafolio
