#include "palvek.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <thread>
#include <vector>

#include "platform/memory.h"
#include "test_file.h"

namespace {

using readers_test::pattern;
using readers_test::pattern_byte;
using readers_test::TempFolder;

// Takes the block a successful call handed out, checks it and frees it.
std::vector<uint8_t> take_block(void* block, uint32_t expected_size) {
  EXPECT_TRUE(platform::block_is_live(block));
  EXPECT_EQ(platform::block_size(block), expected_size);
  const auto* bytes = static_cast<const uint8_t*>(block);
  std::vector<uint8_t> copy(bytes, bytes + expected_size);
  EXPECT_TRUE(platform::block_free(block));
  return copy;
}

std::vector<uint16_t> as_values(const std::vector<uint8_t>& bytes) {
  std::vector<uint16_t> values(bytes.size() / 2);
  std::memcpy(values.data(), bytes.data(), values.size() * 2);
  return values;
}

TEST(Plx_Type8, ReadsTheIndexedBlockBehindTheHeader) {
  TempFolder folder;
  const std::string file = folder.write("voice.wav", pattern(4000));
  const size_t live = platform::live_block_count();
  void* block = nullptr;
  ASSERT_EQ(Plx(file.c_str(), 8, &block, 2, 1000, nullptr), PLX_OK);
  const std::vector<uint8_t> bytes = take_block(block, 1000);
  for (size_t i = 0; i < 1000; ++i) ASSERT_EQ(bytes[i], pattern_byte(2044 + i)) << i;
  EXPECT_EQ(platform::live_block_count(), live);
}

TEST(Plx_Type0, ReadsFromTheStartIgnoringIndexAndFillsDst) {
  TempFolder folder;
  const std::string file = folder.write("raw.bin", pattern(600));
  std::vector<uint8_t> dst(512, 0xAA);
  void* block = nullptr;
  ASSERT_EQ(Plx(file.c_str(), 0, &block, 7, 512, dst.data()), PLX_OK);
  const std::vector<uint8_t> bytes = take_block(block, 512);
  EXPECT_EQ(bytes, std::vector<uint8_t>(pattern(512)));
  EXPECT_EQ(dst, bytes);
}

TEST(Plx_ShortFile, FillsWithEndOfFileMarkersAndStillSucceeds) {
  TempFolder folder;
  const std::string file = folder.write("short.wav", pattern(50));  // 6 bytes behind the header
  void* block = nullptr;

  ASSERT_EQ(Plx(file.c_str(), 0, &block, 0, 64, nullptr), PLX_OK);
  std::vector<uint8_t> bytes = take_block(block, 64);
  for (size_t i = 0; i < 64; ++i) ASSERT_EQ(bytes[i], i < 50 ? pattern_byte(i) : 255) << i;

  ASSERT_EQ(Plx(file.c_str(), 8, &block, 0, 10, nullptr), PLX_OK);
  bytes = take_block(block, 10);
  for (size_t i = 0; i < 10; ++i) ASSERT_EQ(bytes[i], i < 6 ? pattern_byte(44 + i) : 255) << i;

  ASSERT_EQ(Plx(file.c_str(), 8, &block, 1000, 10, nullptr), PLX_OK);  // far past the end
  EXPECT_EQ(take_block(block, 10), std::vector<uint8_t>(10, 255));

  ASSERT_EQ(Plx(file.c_str(), 16, &block, 0, 20, nullptr), PLX_OK);
  const std::vector<uint16_t> values = as_values(take_block(block, 20));
  for (size_t i = 0; i < 10; ++i) ASSERT_EQ(values[i], i < 6 ? pattern_byte(44 + i) : 65535) << i;
}

TEST(Plx_Type16, KeepsTheBlockSizeAndHoldsHalfAsManyValues) {
  TempFolder folder;
  const std::string file = folder.write("voice.wav", pattern(300000));
  void* block = nullptr;
  // Large enough to cross the reader's chunks, odd so the last byte stays zero.
  const uint32_t bytes = 140001;
  ASSERT_EQ(Plx(file.c_str(), 16, &block, 1, bytes, nullptr), PLX_OK);
  const std::vector<uint8_t> raw = take_block(block, bytes);
  const std::vector<uint16_t> values = as_values(raw);
  ASSERT_EQ(values.size(), bytes / 2);
  for (size_t i = 0; i < values.size(); ++i) {
    ASSERT_EQ(values[i], pattern_byte(bytes + 44 + i)) << i;
  }
  EXPECT_EQ(raw.back(), 0);
}

TEST(Plx_Refused, LeavesNoBlockAndTouchesNoOutput) {
  TempFolder folder;
  const std::string file = folder.write("voice.wav", pattern(100));
  const size_t live = platform::live_block_count();
  void* const untouched = reinterpret_cast<void*>(0x1234);
  void* block = untouched;

  EXPECT_EQ(Plx((folder.path() + "/missing.wav").c_str(), 8, &block, 0, 10, nullptr), PLX_FAILED);
  EXPECT_EQ(Plx(folder.path().c_str(), 0, &block, 0, 10, nullptr), PLX_FAILED);  // a directory
  EXPECT_EQ(Plx(nullptr, 0, &block, 0, 10, nullptr), PLX_FAILED);
  for (int32_t type : {1, 4, 32, -1}) {
    EXPECT_EQ(Plx(file.c_str(), type, &block, 0, 10, nullptr), PLX_FAILED) << type;
  }
  // index * bytes + 44 before the start of the file.
  EXPECT_EQ(Plx(file.c_str(), 8, &block, -1, 100, nullptr), PLX_FAILED);
  EXPECT_EQ(Plx(file.c_str(), 8, nullptr, 0, 10, nullptr), PLX_FAILED);

  EXPECT_EQ(block, untouched);
  EXPECT_EQ(platform::live_block_count(), live);
}

TEST(Plx_Index, NegativeIndexWithinTheHeaderIsAnOffsetLikeAnyOther) {
  TempFolder folder;
  const std::string file = folder.write("voice.wav", pattern(100));
  void* block = nullptr;
  ASSERT_EQ(Plx(file.c_str(), 8, &block, -2, 20, nullptr), PLX_OK);  // offset 4
  const std::vector<uint8_t> bytes = take_block(block, 20);
  for (size_t i = 0; i < 20; ++i) ASSERT_EQ(bytes[i], pattern_byte(4 + i)) << i;
}

TEST(Plx_Path, LongerThanTwoHundredBytesWorks) {
  TempFolder folder;
  std::string dir = folder.path();
  for (int depth = 0; depth < 4; ++depth) {
    dir += "/" + std::string(100, static_cast<char>('a' + depth));
    ASSERT_TRUE(std::filesystem::create_directory(dir));
  }
  const std::string file = dir + "/voice.wav";
  ASSERT_GT(file.size(), 400u);
  std::filesystem::copy_file(folder.write("v.wav", pattern(100)), file);
  void* block = nullptr;
  ASSERT_EQ(Plx(file.c_str(), 8, &block, 0, 8, nullptr), PLX_OK);
  const std::vector<uint8_t> bytes = take_block(block, 8);
  EXPECT_EQ(bytes[0], pattern_byte(44));
}

TEST(Plx_Fifo, WithoutAWriterReadsAsAnEmptyFileInsteadOfWaiting) {
  TempFolder folder;
  const std::string fifo = folder.path() + "/pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  void* block = nullptr;
  ASSERT_EQ(Plx(fifo.c_str(), 0, &block, 0, 4, nullptr), PLX_OK);
  EXPECT_EQ(take_block(block, 4), std::vector<uint8_t>(4, 255));
}

TEST(Plx_ZeroBytes, HandsOutAnEmptyBlock) {
  TempFolder folder;
  const std::string file = folder.write("voice.wav", pattern(100));
  void* block = nullptr;
  ASSERT_EQ(Plx(file.c_str(), 16, &block, 3, 0, nullptr), PLX_OK);
  take_block(block, 0);
}

TEST(Plx_Threads, CallsDoNotInterfere) {
  TempFolder folder;
  const std::string file = folder.write("voice.wav", pattern(20000));
  const size_t live = platform::live_block_count();
  std::vector<std::thread> threads;
  for (int32_t t = 0; t < 4; ++t) {
    threads.emplace_back([&file, t] {
      for (int32_t round = 0; round < 50; ++round) {
        const int32_t index = (t + round) % 19;
        void* block = nullptr;
        ASSERT_EQ(Plx(file.c_str(), 8, &block, index, 1000, nullptr), PLX_OK);
        const auto* bytes = static_cast<const uint8_t*>(block);
        for (size_t i = 0; i < 1000; ++i) {
          ASSERT_EQ(bytes[i], pattern_byte(static_cast<size_t>(index) * 1000 + 44 + i));
        }
        ASSERT_TRUE(platform::block_free(block));
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(platform::live_block_count(), live);
}

}  // namespace
