// Every transition against frames that were looked at and judged right: a regression in any
// routine shows up as a changed picture. The frames are small (96 x 72, steps 3, 6 and 9 of 12)
// and drawn from a fixed seed and clock. After a deliberate change, look at the new frames
// (written next to the build on failure) and copy them over with LUMAFOLIO_UPDATE_REFERENCES=1.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "StagePictures.h"
#include "core/effects/EffectLibrary.h"
#include "core/effects/EffectRandom.h"
#include "tools/filmtool/PngFile.h"
#include "tools/filmtool/TransitionCommand.h"

namespace lumafolio {
namespace {

namespace fs = std::filesystem;
using testing::TransitionRun;

constexpr int kWidth = 96;
constexpr int kHeight = 72;
constexpr int kLastStep = 12;
constexpr int kSteps[] = {3, 6, 9};

std::clock_t FixedClock() { return 4242; }

// The three frames side by side, top-down RGB.
RgbImage RenderStrip(int index) {
  SetEffectClock(FixedClock);
  EffectSrand(777);
  TransitionRun run(kWidth, kHeight);
  EffectLibrary library;
  EffectParams begin = run.Params(0, 100);
  library.RunTransitionEffect(index, kEffectBegin, &begin);
  RgbImage strip{kWidth * 3, kHeight, std::vector<std::uint8_t>(kWidth * 3 * kHeight * 3)};
  int column = 0;
  for (int step = 0; step <= kLastStep; ++step) {
    EffectParams params = run.Params(step, kLastStep);
    library.RunTransitionEffect(index, kEffectStep, &params);
    if (step != kSteps[0] && step != kSteps[1] && step != kSteps[2]) continue;
    const RgbImage frame = StageToRgb(run.out.bytes.data(), kWidth, kHeight);
    for (int line = 0; line < kHeight; ++line) {
      std::copy_n(frame.rgb.data() + line * kWidth * 3, kWidth * 3,
                  strip.rgb.data() + (line * strip.width + column * kWidth) * 3);
    }
    ++column;
  }
  library.RunTransitionEffect(index, kEffectEnd, nullptr);
  SetEffectClock(nullptr);
  return strip;
}

std::string ReferenceName(int index) {
  return "transition-" + std::string(index < 10 ? "0" : "") + std::to_string(index) + ".png";
}

class TransitionReference : public ::testing::TestWithParam<int> {};

TEST_P(TransitionReference, MatchesItsReferenceFrames) {
  const int index = GetParam();
  const RgbImage actual = RenderStrip(index);
  const fs::path reference = fs::path(LUMAFOLIO_REFERENCE_DIR) / ReferenceName(index);
  if (const char* update = std::getenv("LUMAFOLIO_UPDATE_REFERENCES"); update && *update == '1') {
    WritePng(reference.string(), actual);
    GTEST_SKIP() << "wrote " << reference;
  }
  ASSERT_TRUE(fs::exists(reference)) << reference << " is missing";
  const RgbImage expected = ReadPng(reference.string());
  if (expected.width == actual.width && expected.height == actual.height &&
      expected.rgb == actual.rgb) {
    return;
  }
  const fs::path written = fs::path(LUMAFOLIO_ACTUAL_DIR) / ReferenceName(index);
  fs::create_directories(written.parent_path());
  WritePng(written.string(), actual);
  ADD_FAILURE() << "frames differ from " << reference << "; this run drew " << written;
}

std::string RowName(const ::testing::TestParamInfo<int>& param) {
  return testing::TransitionTestName(param.param);
}

INSTANTIATE_TEST_SUITE_P(Table, TransitionReference, ::testing::Range(0, kRandomTransitionIndex),
                         RowName);

}  // namespace
}  // namespace lumafolio
