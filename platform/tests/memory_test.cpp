#include "platform/memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <thread>
#include <vector>

namespace {

TEST(Memory_Block, IsZeroFilledAndSized) {
  const size_t before = platform::live_block_count();
  auto* block = static_cast<uint8_t*>(platform::block_alloc(10000));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(platform::block_size(block), 10000u);
  for (size_t i = 0; i < 10000; ++i) ASSERT_EQ(block[i], 0) << i;
  EXPECT_EQ(platform::live_block_count(), before + 1);
  EXPECT_TRUE(platform::block_free(block));
  EXPECT_EQ(platform::live_block_count(), before);
}

TEST(Memory_Block, DoubleFreeAndForeignPointerAreRefused) {
  void* block = platform::block_alloc(8);
  ASSERT_TRUE(platform::block_free(block));
  EXPECT_FALSE(platform::block_free(block));
  int local = 0;
  EXPECT_FALSE(platform::block_free(&local));
  EXPECT_FALSE(platform::block_free(nullptr));
  EXPECT_EQ(platform::block_size(&local), 0u);
  EXPECT_FALSE(platform::block_is_live(block));
}

TEST(Memory_Block, ZeroBytesGivesDistinctLiveBlocks) {
  void* a = platform::block_alloc(0);
  void* b = platform::block_alloc(0);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(a, b);
  EXPECT_TRUE(platform::block_is_live(a));
  EXPECT_EQ(platform::block_size(a), 0u);
  EXPECT_TRUE(platform::block_free(a));
  EXPECT_TRUE(platform::block_free(b));
}

TEST(Memory_Block, ConcurrentAllocAndFreeKeepTheCount) {
  const size_t before = platform::live_block_count();
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([] {
      for (int i = 0; i < 2000; ++i) {
        void* block = platform::block_alloc(static_cast<size_t>(i % 64));
        ASSERT_TRUE(platform::block_free(block));
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(platform::live_block_count(), before);
}

}  // namespace
