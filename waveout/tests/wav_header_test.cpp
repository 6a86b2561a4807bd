#include "wav_header.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

std::vector<std::uint8_t> header(std::uint32_t format_length) {
  std::vector<std::uint8_t> block(100);
  std::memcpy(block.data(), "RIFF", 4);
  std::memcpy(block.data() + 8, "WAVEfmt ", 8);
  block[16] = static_cast<std::uint8_t>(format_length);
  const std::uint8_t format[18] = {1,    0, 1, 0, 0x11, 0x2B, 0, 0, 0x22,
                                   0x56, 0, 0, 2, 0,    16,   0, 5, 0};
  std::memcpy(block.data() + 20, format, std::min<std::uint32_t>(format_length, 18));
  std::memcpy(block.data() + 20 + format_length, "data", 4);
  block[24 + format_length] = 0x10;
  block[27 + format_length] = 0x01;  // D = 0x01000010
  return block;
}

TEST(WavHeader_Parse, ReadsFormatAndStreamLengthForEachFormatLength) {
  for (std::uint32_t length : {14u, 16u, 18u}) {
    const auto block = header(length);
    const auto parsed = sondrel::parse_header_block(block.data(), block.size());
    ASSERT_TRUE(parsed) << length;
    EXPECT_EQ(parsed->format_length, length);
    EXPECT_EQ(parsed->stream_bytes, 0x01000010u);
    EXPECT_EQ(parsed->pcm_offset, 28 + length);
    EXPECT_EQ(parsed->format.format_tag, 1);
    EXPECT_EQ(parsed->format.samples_per_sec, 11025u);
    EXPECT_EQ(parsed->format.block_align, 2);
    // Bytes past L are zero, not whatever follows in the block.
    EXPECT_EQ(parsed->format.bits_per_sample, length >= 16 ? 16 : 0);
    EXPECT_EQ(parsed->format.extra_size, length == 18 ? 5 : 0);
  }
}

TEST(WavHeader_Parse, RefusesEveryShortBlockAndEveryBrokenTag) {
  const auto block = header(16);
  for (std::size_t length = 0; length < 100; ++length) {
    EXPECT_FALSE(sondrel::parse_header_block(block.data(), length)) << length;
  }
  for (std::size_t at : {0u, 3u, 8u, 11u, 12u, 15u, 36u, 39u}) {
    auto broken = block;
    broken[at] ^= 0x20;
    EXPECT_FALSE(sondrel::parse_header_block(broken.data(), broken.size())) << at;
  }
  EXPECT_FALSE(sondrel::parse_header_block(header(19).data(), 100));
  EXPECT_FALSE(sondrel::parse_header_block(nullptr, 100));
}

}  // namespace
