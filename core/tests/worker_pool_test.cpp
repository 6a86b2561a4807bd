// The worker pool runs every task exactly once, from several callers at
// once, and ends cleanly, idle or just after work.
#include "calendo/worker_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace calendo {
namespace {

TEST(WorkerPool, RunsEveryTaskOnceAndWaitsForAll) {
  for (const unsigned threads : {1u, 2u, 5u}) {
    WorkerPool pool(threads);
    EXPECT_EQ(pool.threads(), threads);
    for (const std::size_t count :
         {std::size_t{0}, std::size_t{1}, std::size_t{3}, std::size_t{1000}}) {
      std::vector<std::atomic<int>> runs(count);
      pool.run(count, [&](std::size_t i) { runs[i].fetch_add(1); });
      for (std::size_t i = 0; i < count; ++i) ASSERT_EQ(runs[i].load(), 1) << threads << " " << i;
    }
  }
}

TEST(WorkerPool, CallersFromSeveralThreadsTakeTurns) {
  WorkerPool pool(3);
  std::atomic<long> sum{0};
  std::vector<std::jthread> callers;
  for (int c = 0; c < 4; ++c) {
    callers.emplace_back([&] {
      for (int round = 0; round < 50; ++round)
        pool.run(20, [&](std::size_t i) { sum += static_cast<long>(i); });
    });
  }
  callers.clear();
  EXPECT_EQ(sum.load(), 4L * 50 * (19 * 20 / 2));
}

TEST(WorkerPool, EndsIdleAndRightAfterWork) {
  { WorkerPool idle(4); }
  for (int round = 0; round < 20; ++round) {
    WorkerPool pool(3);
    std::atomic<int> done{0};
    pool.run(7, [&](std::size_t) { ++done; });
    EXPECT_EQ(done.load(), 7);
  }
}

}  // namespace
}  // namespace calendo
