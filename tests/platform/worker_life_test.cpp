// A worker's life: a pause ends as soon as the worker is told to terminate, however long
// it was, and a worker that goes before it was resumed never runs.
#include "platform/worker_life.h"

#include <gtest/gtest.h>

#include <atomic>

#include "platform/thread.h"

TEST(WorkerLife, TerminateCutsAPauseShortAndAWorkerNeverResumedNeverRuns) {
  std::atomic<bool> pausing{false};
  std::atomic<int> pauseResult{-1};
  {
    platform::WorkerLife life;
    ASSERT_TRUE(life.Start([&] {
      pausing = true;
      // An hour: only Terminate ends it within the test's time-out.
      pauseResult = life.Sleep(3600u * 1000u) ? 1 : 0;
    }));
    life.Resume();
    while (!pausing) platform::SleepMs(1);
    life.Terminate();
  }
  EXPECT_EQ(pauseResult, 0);

  bool ran = false;
  {
    platform::WorkerLife life;
    ASSERT_TRUE(life.Start([&] { ran = true; }));
  }
  EXPECT_FALSE(ran);
}
