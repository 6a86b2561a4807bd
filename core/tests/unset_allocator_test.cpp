#include "calendo/unset_allocator.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <vector>

namespace calendo {
namespace {

using Samples = std::vector<int16_t, UnsetAllocator<int16_t>>;

TEST(UnsetAllocator, LargeBlocksStartOnAHugePageAndSmallOnesAreOrdinary) {
  for (const std::size_t bytes : {kLargeBlockBytes, kLargeBlockBytes + 1, 5 * kLargeBlockBytes}) {
    void* block = allocate_working_block(bytes);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % kLargeBlockBytes, 0u) << bytes;
    // The whole block is writable, to its last byte.
    static_cast<uint8_t*>(block)[0] = 1;
    static_cast<uint8_t*>(block)[bytes - 1] = 2;
    free_working_block(block, bytes);
  }
  for (const std::size_t bytes : {std::size_t{0}, std::size_t{1}, kLargeBlockBytes - 1}) {
    void* block = allocate_working_block(bytes);
    ASSERT_NE(block, nullptr);
    free_working_block(block, bytes);
  }
}

TEST(UnsetAllocator, GrowingAcrossTheLargeSizeKeepsEveryElement) {
  Samples samples;
  const std::size_t count = 3 * kLargeBlockBytes / sizeof(int16_t) + 7;
  for (std::size_t i = 0; i < count; ++i) samples.push_back(static_cast<int16_t>(i * 31));
  for (std::size_t i = 0; i < count; ++i) ASSERT_EQ(samples[i], static_cast<int16_t>(i * 31)) << i;
  // Shrunk and grown again within its capacity, what was written stays.
  samples.resize(10);
  samples.resize(count);
  EXPECT_EQ(samples[9], static_cast<int16_t>(9 * 31));
  const Samples copy = samples;
  EXPECT_EQ(copy, samples);
}

TEST(UnsetAllocator, AnImpossibleSizeIsRefused) {
  UnsetAllocator<int16_t> allocator;
  EXPECT_THROW((void)allocator.allocate(static_cast<std::size_t>(-1) / 2), std::bad_alloc);
  EXPECT_THROW((void)allocate_working_block(static_cast<std::size_t>(-1) - 10), std::bad_alloc);
}

}  // namespace
}  // namespace calendo
