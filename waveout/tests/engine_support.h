// Helpers for the engine's tests: header blocks, message pumping, a capture
// file per test and the bookkeeping that every test checks at its end.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "platform/memory.h"
#include "platform/messages.h"
#include "sondrel.h"

namespace engine_test {

using namespace std::chrono_literals;

inline void put32(std::uint8_t* at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// A memory block: a 44-byte PCM WAV header announcing `stream_bytes`, then
// `pcm` (padded with zero bytes to `pcm_bytes`).
inline std::uint8_t* header_block(std::uint32_t stream_bytes, std::size_t pcm_bytes,
                                  std::uint32_t rate = 11025, std::uint16_t bits = 16,
                                  const std::vector<std::uint8_t>& pcm = {}) {
  auto* block = static_cast<std::uint8_t*>(platform::block_alloc(44 + pcm_bytes));
  std::memcpy(block, "RIFF", 4);
  put32(block + 4, stream_bytes + 36);
  std::memcpy(block + 8, "WAVEfmt ", 8);
  put32(block + 16, 16);
  const std::uint16_t align = static_cast<std::uint16_t>(bits / 8);
  block[20] = 1;  // PCM
  block[22] = 1;  // mono
  put32(block + 24, rate);
  put32(block + 28, rate * align);
  block[32] = static_cast<std::uint8_t>(align);
  block[34] = static_cast<std::uint8_t>(bits);
  std::memcpy(block + 36, "data", 4);
  put32(block + 40, stream_bytes);
  if (!pcm.empty()) std::memcpy(block + 44, pcm.data(), pcm.size());
  return block;
}

// A memory block of `bytes` bytes filled from `pattern` onwards.
inline std::uint8_t* pcm_block(std::size_t bytes, std::uint8_t pattern = 0) {
  auto* block = static_cast<std::uint8_t*>(platform::block_alloc(bytes));
  for (std::size_t i = 0; i < bytes; ++i) block[i] = static_cast<std::uint8_t>(pattern + i);
  return block;
}

inline int32_t add(void* block, std::size_t length) {
  return WavAddPlayData(&block, static_cast<uint32_t>(length));
}

// Dispatches the calling thread's messages once, waiting up to `wait`.
inline void pump(std::chrono::milliseconds wait = 0ms) {
  if (wait.count() > 0) platform::wait_message(wait);
  platform::Message message;
  while (platform::peek_message(message)) platform::dispatch_message(message);
}

// Dispatches until `done` holds; false after 10 s.
inline bool pump_until(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    pump(5ms);
  }
  return true;
}

inline std::size_t thread_count() {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry :
       std::filesystem::directory_iterator("/proc/self/task")) {
    ++count;
  }
  return count;
}

inline std::vector<std::uint8_t> read_file(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// Every engine test: the null device at full speed unless it says otherwise,
// and at the end no engine, no thread and no block left behind.
class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    use_device("null", 0);
    blocks_before_ = platform::live_block_count();
    // A sanitizer starts a helper thread of its own at the first thread the
    // program makes; make one first so that the count below includes it.
    pid_t first = 0;
    std::thread([&first] { first = ::gettid(); }).join();
    // A joined thread leaves /proc a moment after the join returns.
    const auto path = "/proc/self/task/" + std::to_string(first);
    for (int i = 0; i < 1000 && std::filesystem::exists(path); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    threads_before_ = thread_count();
  }
  void TearDown() override {
    WavDestroy();
    pump();
    EXPECT_EQ(platform::live_block_count(), blocks_before_) << "blocks leaked or freed twice";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (thread_count() > threads_before_ && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(thread_count(), threads_before_) << "a thread outlived the engine";
    std::error_code ignored;
    if (!capture_.empty()) std::filesystem::remove(capture_, ignored);
    ::unsetenv("CALENDO_AUDIO");
    ::unsetenv("CALENDO_AUDIO_SPEED");
  }

  static void use_device(const std::string& name, unsigned speed) {
    ::setenv("CALENDO_AUDIO", name.c_str(), 1);
    ::setenv("CALENDO_AUDIO_SPEED", std::to_string(speed).c_str(), 1);
  }

  // Chooses a capture file of this test as the device; returns its path.
  std::filesystem::path use_capture(unsigned speed) {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    capture_ = std::filesystem::temp_directory_path() /
               (std::string("sondrel-") + test->name() + "-" + std::to_string(::getpid()) + ".wav");
    std::filesystem::remove(capture_);
    use_device("capture:" + capture_.string(), speed);
    return capture_;
  }

  // The PCM bytes of a completed capture file.
  static std::vector<std::uint8_t> captured_pcm(const std::filesystem::path& path) {
    auto bytes = read_file(path);
    if (bytes.size() < 44) return {};
    return {bytes.begin() + 44, bytes.end()};
  }

  std::size_t blocks_before_ = 0;
  std::size_t threads_before_ = 0;
  std::filesystem::path capture_;
};

}  // namespace engine_test
