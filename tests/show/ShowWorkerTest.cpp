// The hand-off between the show step and its worker, with a scripted preparation: no deadlock,
// nothing prepared while the worker is held, failures signalled and retried, the end of a film
// waited for by nobody.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "core/show/ShowSequence.h"
#include "player/show/ShowWorker.h"

namespace lumafolio {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class ShowWorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 1; i <= 3; ++i) film_.AddItem(FilmItem{});
  }
  ShowWorker::Prepare Script() {
    return [this](const FilmItem& next) {
      preparing_ = true;
      std::this_thread::sleep_for(std::chrono::milliseconds(prepareMs_.load()));
      prepared_.push_back(next.position);  // only ever touched under the item lock
      preparing_ = false;
      return !failing_.load();
    };
  }
  int Prepared(ShowWorker& worker) {
    LockScope lock(worker.ItemLock());
    return static_cast<int>(prepared_.size());
  }
  int LastPrepared(ShowWorker& worker) {
    LockScope lock(worker.ItemLock());
    return prepared_.empty() ? 0 : prepared_.back();
  }

  FilmDocument film_;
  std::vector<int> prepared_;
  std::atomic<bool> preparing_{false};
  std::atomic<bool> failing_{false};
  std::atomic<int> prepareMs_{0};
};

TEST_F(ShowWorkerTest, PreparesTheItemAfterTheOneOnScreen) {
  ShowWorker worker(film_, false, Script());
  ASSERT_TRUE(worker.Start(BeforeFirstItem()));
  ASSERT_TRUE(worker.WaitReady());
  EXPECT_TRUE(worker.NextReady());
  EXPECT_EQ(LastPrepared(worker), 1);

  worker.Hold();
  worker.Resume(film_.GetItem(1));
  ASSERT_TRUE(worker.WaitReady());
  EXPECT_EQ(LastPrepared(worker), 2);
  // Idle once ready: nothing more is prepared.
  std::this_thread::sleep_for(250ms);
  EXPECT_EQ(Prepared(worker), 2);
}

// Hold returns only once a preparation under way has finished, and nothing is prepared until
// the worker is resumed: a show step never runs beside a preparation.
TEST_F(ShowWorkerTest, HoldWaitsForThePreparationAndKeepsTheWorkerStill) {
  prepareMs_ = 300;
  ShowWorker worker(film_, false, Script());
  ASSERT_TRUE(worker.Start(BeforeFirstItem()));
  std::this_thread::sleep_for(50ms);
  ASSERT_TRUE(preparing_);
  worker.Hold();
  EXPECT_FALSE(preparing_);
  EXPECT_EQ(Prepared(worker), 1);

  worker.Resume(film_.GetItem(1));
  worker.Hold();  // may come before the worker even woke up
  std::this_thread::sleep_for(400ms);
  const int count = Prepared(worker);
  EXPECT_LE(count, 2);
  std::this_thread::sleep_for(400ms);
  EXPECT_EQ(Prepared(worker), count);
  EXPECT_FALSE(worker.WaitReady());  // a held worker signals nothing: no wait for ever
}

// A picture that never decodes: every attempt is signalled, none marks the item ready, and the
// retries are paced instead of spinning.
TEST_F(ShowWorkerTest, FailuresAreSignalledAndRetriedCalmly) {
  failing_ = true;
  ShowWorker worker(film_, false, Script());
  ASSERT_TRUE(worker.Start(BeforeFirstItem()));
  ASSERT_TRUE(worker.WaitReady());
  EXPECT_FALSE(worker.NextReady());
  std::this_thread::sleep_for(1000ms);
  const int attempts = Prepared(worker);
  EXPECT_GE(attempts, 3);
  EXPECT_LE(attempts, 20);
  // A signal left over from the retries does not release the next wait early.
  worker.Hold();
  failing_ = false;
  prepareMs_ = 200;
  worker.Resume(film_.GetItem(1));
  ASSERT_TRUE(worker.WaitReady());
  EXPECT_TRUE(worker.NextReady());
  EXPECT_EQ(LastPrepared(worker), 2);
}

// After the last item of a film without loop nothing follows: the worker idles without a signal,
// a wait returns instead of hanging, and going back (Page Up) starts it again.
TEST_F(ShowWorkerTest, TheEndOfAFilmLeavesNobodyWaiting) {
  ShowWorker worker(film_, false, Script());
  ASSERT_TRUE(worker.Start(film_.GetItem(3)));
  const auto start = Clock::now();
  EXPECT_FALSE(worker.WaitReady());
  EXPECT_LT(Clock::now() - start, 2s);
  EXPECT_EQ(Prepared(worker), 0);

  worker.Hold();
  worker.Resume(film_.GetItem(1));
  ASSERT_TRUE(worker.WaitReady());
  EXPECT_EQ(LastPrepared(worker), 2);
}

TEST_F(ShowWorkerTest, WithLoopTheFirstItemFollowsTheLast) {
  ShowWorker worker(film_, true, Script());
  ASSERT_TRUE(worker.Start(film_.GetItem(3)));
  ASSERT_TRUE(worker.WaitReady());
  EXPECT_EQ(LastPrepared(worker), 1);
}

TEST_F(ShowWorkerTest, StopsPromptlyWhileIdleAndWhenNeverStarted) {
  {
    ShowWorker never(film_, false, Script());
    never.Stop();
  }
  ShowWorker worker(film_, false, Script());
  ASSERT_TRUE(worker.Start(BeforeFirstItem()));
  ASSERT_TRUE(worker.WaitReady());
  const auto start = Clock::now();
  worker.Stop();
  EXPECT_LT(Clock::now() - start, 500ms);
  worker.Stop();
}

}  // namespace
}  // namespace lumafolio
