#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <set>
#include <vector>

#include "StagePictures.h"
#include "core/effects/EffectLibrary.h"
#include "core/effects/EffectRandom.h"

namespace lumafolio {
namespace {

using testing::StagePicture;
using testing::TransitionRun;

bool SamePicture(const StagePicture& a, const StagePicture& b) { return a.bytes == b.bytes; }

// Begin is refused while the record is active and end while it is idle, so a routine is never
// begun twice without an end, and an unmatched end frees nothing.
TEST(EffectLibraryTest, BeginAndEndPairUp) {
  EffectLibrary library;
  EXPECT_FALSE(library.Transition(6).active);
  library.RunTransitionEffect(6, kEffectBegin, nullptr);
  EXPECT_TRUE(library.Transition(6).active);
  library.RunTransitionEffect(6, kEffectBegin, nullptr);
  EXPECT_TRUE(library.Transition(6).active);
  library.RunTransitionEffect(6, kEffectEnd, nullptr);
  EXPECT_FALSE(library.Transition(6).active);
  library.RunTransitionEffect(6, kEffectEnd, nullptr);
  EXPECT_FALSE(library.Transition(6).active);

  library.RunCaptionEffect(4, kEffectBegin, nullptr);
  EXPECT_TRUE(library.CaptionEffect(4).active);
  library.RunCaptionEffect(4, kEffectEnd, nullptr);
  EXPECT_FALSE(library.CaptionEffect(4).active);
}

// Commands 2 and 4 draw nothing; every other command draws the step like 3.
TEST(EffectLibraryTest, OnlyDrawingCommandsTouchTheOutput) {
  EffectLibrary library;
  TransitionRun run(16, 8);
  EffectParams params = run.Params(100, 100);
  for (int command : {2, 4}) {
    library.RunTransitionEffect(kCutTransitionIndex, command, &params);
    EXPECT_TRUE(
        std::all_of(run.out.bytes.begin(), run.out.bytes.end(), [](auto b) { return b == 0; }));
  }
  library.RunTransitionEffect(kCutTransitionIndex, 7, &params);
  EXPECT_TRUE(SamePicture(run.out, run.to));
}

// A damaged film can carry an effect index outside the table or no steps at all: the first
// falls back to the plain cut, the second shows the finished transition.
TEST(EffectLibraryTest, DamagedIndexesAndStepCountsStillDraw) {
  EffectLibrary library;
  TransitionRun run(16, 8);
  for (int index : {-1, 59, 1000}) {
    EffectParams before = run.Params(10, 100);
    library.RunTransitionEffect(index, kEffectBegin, &before);
    library.RunTransitionEffect(index, kEffectStep, &before);
    EXPECT_TRUE(SamePicture(run.out, run.from)) << index;
    EffectParams after = run.Params(60, 100);
    library.RunTransitionEffect(index, kEffectStep, &after);
    EXPECT_TRUE(SamePicture(run.out, run.to)) << index;
    library.RunTransitionEffect(index, kEffectEnd, nullptr);
  }
  for (int lastStep : {0, -5}) {
    std::fill(run.out.bytes.begin(), run.out.bytes.end(), 0);
    EffectParams params = run.Params(0, lastStep);
    library.RunTransitionEffect(23, kEffectStep, &params);  // fade
    EXPECT_TRUE(SamePicture(run.out, run.to)) << lastStep;
  }
  EXPECT_EQ(library.RunCaptionEffect(28, kEffectStep, nullptr), 0);
  EXPECT_EQ(library.RunCaptionEffect(-1, kEffectBegin, nullptr), 0);
}

// The random record starts as record rand() * 57 / 32767 and takes the next pick at every end,
// so each run uses the effect chosen at the previous end.
TEST(EffectLibraryTest, RandomRecordsFollowTheGenerator) {
  EffectSrand(1234);
  const int firstTransition = EffectRand() * 57 / 32767;
  const int firstCaption = EffectRand() * 26 / 32767;
  const int nextTransition = EffectRand() * 57 / 32767;

  EffectSrand(1234);
  EffectLibrary library;
  const TransitionRecord& random = library.Transition(kRandomTransitionIndex);
  EXPECT_EQ(random.routine, library.Transition(firstTransition).routine);
  EXPECT_EQ(random.direction, library.Transition(firstTransition).direction);
  EXPECT_EQ(random.variant, library.Transition(firstTransition).variant);
  EXPECT_EQ(random.id, 3);
  EXPECT_EQ(library.CaptionEffect(kRandomCaptionEffectIndex).direction,
            library.CaptionEffect(firstCaption).direction);

  library.RunTransitionEffect(kRandomTransitionIndex, kEffectBegin, nullptr);
  EXPECT_EQ(random.routine, library.Transition(firstTransition).routine);
  library.RunTransitionEffect(kRandomTransitionIndex, kEffectEnd, nullptr);
  EXPECT_EQ(random.routine, library.Transition(nextTransition).routine);
  EXPECT_EQ(random.direction, library.Transition(nextTransition).direction);
}

// Some effects reseed the generator from the clock at begin; a clock that ticks on every read
// keeps this test repeatable.
std::clock_t tick = 0;
std::clock_t TickingClock() { return ++tick; }

// Over many ends the random transition visits every record it can pick.
TEST(EffectLibraryTest, RandomTransitionCoversTheTable) {
  SetEffectClock(TickingClock);
  EffectSrand(99);
  EffectLibrary library;
  std::set<std::pair<TransitionRoutine, std::pair<int, int>>> seen;
  for (int run = 0; run < 3000; ++run) {
    const auto& random = library.Transition(kRandomTransitionIndex);
    seen.insert({random.routine, {random.direction, random.variant}});
    library.RunTransitionEffect(kRandomTransitionIndex, kEffectBegin, nullptr);
    library.RunTransitionEffect(kRandomTransitionIndex, kEffectEnd, nullptr);
  }
  SetEffectClock(nullptr);
  // Records 0..56 all differ in routine or parameters.
  EXPECT_GE(seen.size(), 57u);
}

// rand() * 57 / 32767 reaches the last record, 57, only for a result of exactly 32767.
TEST(EffectLibraryTest, RandomTransitionPicksTheLastRecordOnlyForTheLargestResult) {
  unsigned seed = 0;
  for (;; ++seed) {
    EffectSrand(seed);
    if (EffectRand() == 32767) break;
  }
  EffectSrand(seed);
  EffectLibrary picked;
  EXPECT_EQ(picked.Transition(kRandomTransitionIndex).routine, picked.Transition(57).routine);
  EXPECT_EQ(picked.Transition(kRandomTransitionIndex).direction, picked.Transition(57).direction);

  EffectSrand(seed + 1);
  ASSERT_LT(EffectRand(), 32767);
  EffectSrand(seed + 1);
  EffectLibrary other;
  const auto& random = other.Transition(kRandomTransitionIndex);
  const auto& last = other.Transition(57);
  EXPECT_FALSE(random.routine == last.routine && random.direction == last.direction &&
               random.variant == last.variant);
}

// One library running one transition twice (begin, steps 0 to 6, end) on pictures of its own
// size, a call at a time. The generator is reseeded before each call from the call's number, so
// the library draws the same random numbers at its k-th call however its calls mix with another
// library's.
class LibraryRun {
 public:
  LibraryRun(int index, int width, int height) : index_(index), run_(width, height) {}

  // Makes the next call; false once both runs have ended.
  bool Next() {
    constexpr int kLastStep = 6;
    constexpr int kCallsPerRun = kLastStep + 3;
    if (call_ == 2 * kCallsPerRun) return false;
    EffectSrand(500u + static_cast<unsigned>(call_));
    const int position = call_ % kCallsPerRun;
    if (position == 0) {
      EffectParams begin = run_.Params(0, 100);
      library_.RunTransitionEffect(index_, kEffectBegin, &begin);
    } else if (position == kCallsPerRun - 1) {
      library_.RunTransitionEffect(index_, kEffectEnd, nullptr);
    } else {
      EffectParams step = run_.Params(position - 1, kLastStep);
      library_.RunTransitionEffect(index_, kEffectStep, &step);
      frames.push_back(run_.out.bytes);
    }
    ++call_;
    return true;
  }

  std::vector<std::vector<std::uint8_t>> frames;

 private:
  int index_;
  TransitionRun run_;
  EffectLibrary library_;
  int call_ = 0;
};

std::clock_t FixedClock() { return 4242; }

// The player's library and a second one at another size (a video renderer's, say) run the same
// effects with their calls interleaved: each must draw exactly what it draws alone, so neither
// may see the other's grids, maps, pieces, panels or place in a curl list.
TEST(EffectLibraryTest, TwoLibrariesInterleavedDrawWhatEachDrawsAlone) {
  SetEffectClock(FixedClock);
  for (int index = 0; index < kRandomTransitionIndex; ++index) {
    LibraryRun playerAlone(index, 48, 36);
    while (playerAlone.Next()) {
    }
    LibraryRun videoAlone(index, 40, 30);
    while (videoAlone.Next()) {
    }
    LibraryRun player(index, 48, 36);
    LibraryRun video(index, 40, 30);
    while (player.Next()) ASSERT_TRUE(video.Next());
    const char* name = TransitionTable()[static_cast<std::size_t>(index)].name;
    EXPECT_TRUE(player.frames == playerAlone.frames) << name << ": the first library";
    EXPECT_TRUE(video.frames == videoAlone.frames) << name << ": the second library";
  }
  SetEffectClock(nullptr);
}

// The generator is the classic 15-bit one, the same on every platform.
TEST(EffectLibraryTest, GeneratorHasFifteenBitResults) {
  EffectSrand(1);
  EXPECT_EQ(EffectRand(), 41);
  EXPECT_EQ(EffectRand(), 18467);
  EXPECT_EQ(EffectRand(), 6334);
  SetEffectClock([]() -> std::clock_t { return 1; });
  EffectSrandFromClock();
  EXPECT_EQ(EffectRand(), 41);
  SetEffectClock(nullptr);
}

// A bulk fill is the same sequence as single draws and leaves the generator where they would,
// for counts below, at and around the fill's internal batch, and from seeds whose high bits
// are set.
TEST(EffectLibraryTest, BulkDrawsMatchSingleDraws) {
  for (unsigned seed : {1u, 0x9e3779b9u, 0xffffffffu}) {
    for (std::size_t count : {0u, 1u, 7u, 8u, 9u, 15u, 16u, 17u, 1001u}) {
      EffectSrand(seed);
      std::vector<int> expected(count + 1);
      for (int& value : expected) value = EffectRand();
      EffectSrand(seed);
      std::vector<int> filled(count + 1, -1);
      EffectRandFill(filled.data(), count);
      filled[count] = EffectRand();  // the draw after the fill continues the sequence
      EXPECT_EQ(filled, expected) << "seed " << seed << ", count " << count;
    }
  }
}

}  // namespace
}  // namespace lumafolio
