// The engine's life: ownership of blocks through every ending, threads, and
// a caller thread that only polls the wake-up descriptor.
#include <poll.h>

#include <thread>

#include "engine_support.h"

namespace engine_test {
namespace {

using Sondrel_Ownership = EngineTest;
using Sondrel_Engine = EngineTest;

TEST_F(Sondrel_Ownership, DestroyWithQueuedBlocksFreesThemAll) {
  use_device("null", 1);  // real time: almost nothing plays before the destroy
  ASSERT_EQ(WavCreate(), 1);
  ASSERT_EQ(add(header_block(100000000, 9956), 10000), 1);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(add(pcm_block(2048), 2048), 1);
  WavDestroy();  // without dispatching anything: the teardown checks the count
}

TEST_F(Sondrel_Ownership, StopFreesQueuedAndPlayingBlocks) {
  use_device("null", 1);
  ASSERT_EQ(WavCreate(), 1);
  ASSERT_EQ(add(header_block(100000000, 9956), 10000), 1);
  for (int i = 0; i < 200; ++i) ASSERT_EQ(add(pcm_block(2048), 2048), 1);
  ASSERT_TRUE(pump_until([] { return WavNowPlay() >= 0; }));
  ASSERT_EQ(WavStop(), 1);
  ASSERT_TRUE(pump_until([] { return WavNowPlay() == -1; }));
}

TEST_F(Sondrel_Ownership, HeaderTheDeviceCannotPlayIsDroppedAndTheEngineStaysIdle) {
  const auto path = use_capture(0);
  ASSERT_EQ(WavCreate(), 1);
  auto* twelve_bits = header_block(1000, 100, 8000, 16);
  twelve_bits[34] = 12;
  ASSERT_EQ(add(twelve_bits, 144), 1);  // a valid header block, but no device plays it
  ASSERT_EQ(add(pcm_block(100), 100), 1);
  pump(20ms);
  EXPECT_EQ(WavNowPlay(), -1);

  // The engine is ready for another stream (the caller's side learns it from
  // the status; until then the block counts as part of the dropped stream,
  // which the worker takes as the header block it is).
  ASSERT_EQ(add(header_block(56, 56), 100), 1);
  ASSERT_TRUE(pump_until([&] { return std::filesystem::exists(path) && WavNowPlay() == -1; }));
  EXPECT_EQ(captured_pcm(path).size(), 56u);
}

TEST_F(Sondrel_Ownership, DeviceThatCannotOpenDropsTheHeader) {
  use_device("capture:/nonexistent-directory/out.wav", 0);
  ASSERT_EQ(WavCreate(), 1);
  ASSERT_EQ(add(header_block(1000, 100), 144), 1);
  ASSERT_EQ(add(pcm_block(100), 100), 1);
  pump(20ms);
  EXPECT_EQ(WavNowPlay(), -1);
  WavDestroy();  // waits for the worker: every block is back by now
  EXPECT_EQ(platform::live_block_count(), blocks_before_);
}

TEST_F(Sondrel_Engine, CreateAndDestroyAThousandTimesLeavesNothing) {
  for (int i = 0; i < 1000; ++i) {
    ASSERT_EQ(WavCreate(), 1) << i;
    if (i % 10 == 0) {
      ASSERT_EQ(add(header_block(100000, 2000), 2044), 1);
      ASSERT_EQ(add(pcm_block(3000), 3000), 1);
    }
    WavDestroy();
    ASSERT_EQ(WavNowPlay(), -2);
  }
  // The teardown checks threads and blocks.
}

// The player's GUI thread waits in its event loop on the wake-up descriptor
// and then peeks and dispatches; that alone must bring the engine's status.
TEST_F(Sondrel_Engine, StatusReachesAThreadThatOnlyPollsTheWakeupFd) {
  // Paced, so that the stream still plays when the thread first looks: at
  // full speed a loaded machine can finish it before then, and the thread
  // would see only the idle status.
  use_device("null", 4);
  std::vector<int32_t> seen;
  std::thread gui([&] {
    ASSERT_EQ(WavCreate(), 1);
    ASSERT_EQ(add(header_block(56 + 50 * 1000, 56), 100), 1);
    for (int i = 0; i < 50; ++i) ASSERT_EQ(add(pcm_block(1000), 1000), 1);
    const int fd = platform::wakeup_fd();
    ASSERT_GE(fd, 0);
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (std::chrono::steady_clock::now() < deadline) {
      pollfd entry{fd, POLLIN, 0};
      if (::poll(&entry, 1, 100) != 1) continue;
      platform::Message message;
      while (platform::peek_message(message)) platform::dispatch_message(message);
      const int32_t now = WavNowPlay();
      if (seen.empty() || seen.back() != now) seen.push_back(now);
      if (now == -1 && seen.size() > 1) break;
    }
    WavDestroy();
  });
  gui.join();
  ASSERT_GE(seen.size(), 2u);
  EXPECT_EQ(seen.back(), -1);  // played out
  EXPECT_GE(*std::max_element(seen.begin(), seen.end()), 1);
}

}  // namespace
}  // namespace engine_test
