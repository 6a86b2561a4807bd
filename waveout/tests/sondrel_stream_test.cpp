// Streams through the engine: header rules, progress values, stop, pause, and
// what reaches the device.
#include <optional>
#include <random>
#include <thread>

#include "engine_support.h"

namespace engine_test {
namespace {

using Sondrel_NowPlay = EngineTest;
using Sondrel_Header = EngineTest;
using Sondrel_Stream = EngineTest;
using Sondrel_Capture = EngineTest;
using Sondrel_Control = EngineTest;

TEST_F(Sondrel_NowPlay, ReportsNoEngineThenIdle) {
  EXPECT_EQ(WavNowPlay(), -2);
  EXPECT_EQ(WavPause(1), 0);
  EXPECT_EQ(WavStop(), 0);
  void* block = header_block(100, 56);
  EXPECT_EQ(add(block, 100), 0);
  EXPECT_TRUE(platform::block_free(block));  // refused: still ours

  ASSERT_EQ(WavCreate(), 1);
  EXPECT_EQ(WavNowPlay(), -1);
  EXPECT_EQ(WavCreate(), 0);  // one engine at a time; the running one is untouched
  EXPECT_EQ(WavNowPlay(), -1);
  EXPECT_EQ(WavStop(), 1);
  pump(20ms);
  EXPECT_EQ(WavNowPlay(), -1);
  WavDestroy();
  EXPECT_EQ(WavNowPlay(), -2);
  WavDestroy();  // a second destroy does nothing
}

TEST_F(Sondrel_Header, RefusedBlocksStayTheCallers) {
  ASSERT_EQ(WavCreate(), 1);
  std::vector<void*> refused;
  auto refuse = [&](void* block, std::size_t length) {
    EXPECT_EQ(add(block, length), 0) << "block " << refused.size();
    refused.push_back(block);
  };
  refuse(header_block(99, 55), 99);  // one byte short of a header block
  auto* bad_fmt = header_block(1000, 100);
  std::memcpy(bad_fmt + 12, "fmt_", 4);
  refuse(bad_fmt, 144);
  auto* long_format = header_block(1000, 100);
  put32(long_format + 16, 20);  // a format block longer than 18 bytes
  refuse(long_format, 144);
  auto* no_data = header_block(1000, 100);
  std::memcpy(no_data + 36, "LIST", 4);  // another chunk before "data"
  refuse(no_data, 144);
  auto* short_block = header_block(1000, 100);
  refuse(short_block, 145);  // longer than the block itself
  int local = 0;
  EXPECT_EQ(add(&local, 4), 0);  // not a memory block the engine could free
  EXPECT_EQ(WavAddPlayData(nullptr, 100), 0);

  pump(10ms);
  EXPECT_EQ(WavNowPlay(), -1);  // no stream started
  for (void* block : refused) EXPECT_TRUE(platform::block_free(block));

  // A format block of 18 bytes (with its extra size) is a header block.
  auto* extended = header_block(1000, 156);
  std::memmove(extended + 38, extended + 36, 8);  // "data" and D move up by two
  put32(extended + 16, 18);
  extended[36] = extended[37] = 0;  // extra size 0
  EXPECT_EQ(add(extended, 200), 1);
  ASSERT_TRUE(pump_until([] { return WavNowPlay() == -1; }));
}

TEST_F(Sondrel_Stream, LongAnnouncedStreamStarvesAfterItsFirstBlock) {
  ASSERT_EQ(WavCreate(), 1);
  ASSERT_EQ(add(header_block(1056000000, 9956), 10000), 1);
  // The 9956 PCM bytes play, then the engine waits for more of the stream.
  ASSERT_TRUE(pump_until([] { return WavNowPlay() == -3; }));
  pump(30ms);
  EXPECT_EQ(WavNowPlay(), -3);  // starved until the next block is submitted
  ASSERT_EQ(WavStop(), 1);
  ASSERT_TRUE(pump_until([] { return WavNowPlay() == -1; }));
}

TEST_F(Sondrel_Stream, StarvedStreamPlaysOnWithTheNextBlock) {
  const auto path = use_capture(0);
  ASSERT_EQ(WavCreate(), 1);
  ASSERT_EQ(add(header_block(9956 + 2000, 9956), 10000), 1);
  ASSERT_TRUE(pump_until([] { return WavNowPlay() == -3; }));
  ASSERT_EQ(add(pcm_block(2000), 2000), 1);  // completes the stream
  // The starved report is over with the block, before the worker says so: a
  // caller waiting for its last blocks must not take it for the end.
  EXPECT_EQ(WavNowPlay(), 1);
  ASSERT_TRUE(pump_until([&] { return std::filesystem::exists(path) && WavNowPlay() == -1; }));
  const auto pcm = captured_pcm(path);
  ASSERT_EQ(pcm.size(), 9956u + 2000u);
  for (std::size_t i = 0; i < 9956; ++i) ASSERT_EQ(pcm[i], 0) << i;
  for (std::size_t i = 0; i < 2000; ++i) ASSERT_EQ(pcm[9956 + i], static_cast<std::uint8_t>(i));
}

// Blocks handed in together reach a device that finishes each at once: the
// worker may hear of a finished buffer while the next block still waits in
// its queue. Starved is reported only when that queue is empty too, so no
// block plays after it (every status is looked at as it arrives).
TEST_F(Sondrel_Stream, StarvedIsReportedOnlyAfterTheLastBlockHandedIn) {
  use_capture(0);
  for (int round = 0; round < 60; ++round) {
    ASSERT_EQ(WavCreate(), 1);
    ASSERT_EQ(add(header_block(1000000, 56), 100), 1);
    for (int i = 0; i < 6; ++i) ASSERT_EQ(add(pcm_block(64), 64), 1);
    // Watched until 30 ms after the first starved report (10 s at most).
    std::optional<std::chrono::steady_clock::time_point> starved_at;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (std::chrono::steady_clock::now() < deadline &&
           (!starved_at || std::chrono::steady_clock::now() < *starved_at + 30ms)) {
      platform::wait_message(1ms);
      platform::Message message;
      while (platform::peek_message(message)) {
        platform::dispatch_message(message);
        const int32_t now = WavNowPlay();
        if (now == -3 && !starved_at) starved_at = std::chrono::steady_clock::now();
        ASSERT_FALSE(starved_at && now >= 0)
            << "block " << now << " played after starved, round " << round;
      }
    }
    EXPECT_TRUE(starved_at.has_value()) << "round " << round;
    WavDestroy();
  }
}

TEST_F(Sondrel_Stream, BlocksPastTheAnnouncedEndAreRefusedOrCut) {
  const auto path = use_capture(0);
  ASSERT_EQ(WavCreate(), 1);
  ASSERT_EQ(add(header_block(200, 56), 100), 1);  // 56 of 200 bytes given
  ASSERT_EQ(add(pcm_block(100, 1), 100), 1);      // 156
  ASSERT_EQ(add(pcm_block(100, 2), 100), 1);      // runs past the end: cut to 44
  void* late = pcm_block(100);
  EXPECT_EQ(add(late, 100), 0);  // the stream is complete
  EXPECT_TRUE(platform::block_free(late));

  // Played out, the engine stops itself and expects a new header block.
  ASSERT_TRUE(pump_until([&] { return std::filesystem::exists(path); }));
  ASSERT_TRUE(pump_until([] { return WavNowPlay() == -1; }));
  const auto pcm = captured_pcm(path);
  ASSERT_EQ(pcm.size(), 200u);
  EXPECT_EQ(pcm[56], 1);
  EXPECT_EQ(pcm[156], 2);
  EXPECT_EQ(pcm[199], static_cast<std::uint8_t>(2 + 43));

  void* pcm_only = pcm_block(100);
  EXPECT_EQ(add(pcm_only, 100), 0);  // not a header block
  EXPECT_TRUE(platform::block_free(pcm_only));
  EXPECT_EQ(add(header_block(10, 56), 100), 1);  // D smaller than the PCM given: cut to 10
  ASSERT_TRUE(pump_until([] { return WavNowPlay() == -1; }));
}

TEST_F(Sondrel_Capture, WholeStreamIsByteIdenticalToTheBlocksHandedIn) {
  const auto path = use_capture(0);
  std::mt19937 random(7);
  std::vector<std::uint8_t> expected(9956);
  for (auto& byte : expected) byte = static_cast<std::uint8_t>(random());
  std::vector<std::size_t> sizes;
  std::uint32_t total = 9956;
  for (int i = 0; i < 2000; ++i) {
    sizes.push_back(random() % 700);
    total += static_cast<std::uint32_t>(sizes.back());
  }
  ASSERT_EQ(WavCreate(), 1);
  ASSERT_EQ(add(header_block(total, 9956, 11025, 16, expected), 10000), 1);
  for (std::size_t size : sizes) {
    auto* block = pcm_block(size, static_cast<std::uint8_t>(random()));
    expected.insert(expected.end(), block, block + size);
    ASSERT_EQ(add(block, size), 1);
  }
  ASSERT_TRUE(pump_until([&] { return std::filesystem::exists(path) && WavNowPlay() == -1; }));
  EXPECT_TRUE(captured_pcm(path) == expected) << "captured sound differs from the blocks";
}

TEST_F(Sondrel_Control, StopThenNewStreamCountsFromZero) {
  use_device("null", 1);  // real time: 8044 bytes of 8-bit 8 kHz last a second
  ASSERT_EQ(WavCreate(), 1);
  ASSERT_EQ(add(header_block(1000000, 100, 8000, 8), 144), 1);
  for (int i = 0; i < 5; ++i) ASSERT_EQ(add(pcm_block(100), 100), 1);
  ASSERT_EQ(add(pcm_block(8000), 8000), 1);
  ASSERT_TRUE(pump_until([] { return WavNowPlay() >= 3; }));
  ASSERT_EQ(WavStop(), 1);
  ASSERT_TRUE(pump_until([] { return WavNowPlay() == -1; }));

  ASSERT_EQ(add(header_block(1000000, 8000, 8000, 8), 8044), 1);
  ASSERT_TRUE(pump_until([] { return WavNowPlay() != -1; }));
  EXPECT_EQ(WavNowPlay(), 0);  // the new stream's first block is still playing
}

TEST_F(Sondrel_Control, PauseReportsMinusFourAndResumeTheCount) {
  use_device("null", 1);
  ASSERT_EQ(WavCreate(), 1);
  EXPECT_EQ(WavPause(1), 1);  // no device yet: nothing happens
  pump(10ms);
  EXPECT_EQ(WavNowPlay(), -1);

  ASSERT_EQ(add(header_block(1000000, 200, 8000, 8), 244), 1);
  ASSERT_EQ(add(pcm_block(16000), 16000), 1);
  ASSERT_TRUE(pump_until([] { return WavNowPlay() == 1; }));
  ASSERT_EQ(WavPause(1), 1);
  ASSERT_TRUE(pump_until([] { return WavNowPlay() == -4; }));
  ASSERT_EQ(add(pcm_block(100), 100), 1);  // a block added while paused keeps it paused
  pump(50ms);
  EXPECT_EQ(WavNowPlay(), -4);
  ASSERT_EQ(WavPause(0), 1);
  ASSERT_TRUE(pump_until([] { return WavNowPlay() == 1; }));
}

// A status sent before the worker took a new stream's header must not reset
// the caller's view of that new stream.
TEST_F(Sondrel_Control, StaleStopStatusDoesNotEndTheNextStream) {
  auto wait_for_messages = [](std::size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (platform::pending_message_count() < count &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(1ms);
    }
    return platform::pending_message_count() >= count;
  };
  ASSERT_EQ(WavCreate(), 1);
  ASSERT_TRUE(wait_for_messages(1));  // the worker introduces its window
  pump();
  ASSERT_EQ(WavStop(), 1);
  ASSERT_EQ(WavStop(), 1);
  ASSERT_TRUE(wait_for_messages(2));  // both stop statuses wait in this thread's queue
  platform::Message first;
  ASSERT_TRUE(platform::peek_message(first));
  platform::dispatch_message(first);

  ASSERT_EQ(add(header_block(1000000, 56), 100), 1);
  pump();  // the second, stale stop status
  EXPECT_EQ(add(pcm_block(100), 100), 1) << "the new stream was taken for ended";
}

}  // namespace
}  // namespace engine_test
