// Shared ground for the decoder's tests. The library's codec is process-wide
// and the tests run in one process in order, so every test starts by resetting
// it, together with a reference codec of its own that mirrors the stream. Every
// test also proves that it leaves no memory block behind.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <vector>

#include "calendo/adpcm.h"
#include "platform/memory.h"
#include "tesmor.h"
#include "testing/recorder_writer.h"

namespace decoder_test {

using testkit::Bytes;

inline Bytes read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Codes of `bits` bits that wander over every value (deterministic).
inline Bytes some_codes(std::size_t count, int bits, uint32_t seed = 1) {
  Bytes codes(count);
  uint32_t x = seed;
  for (auto& c : codes) {
    x = x * 1103515245u + 12345u;
    c = static_cast<uint8_t>((x >> 16) & ((1u << bits) - 1));
  }
  return codes;
}

inline std::vector<int16_t> samples_of(const int16_t* p, std::size_t n) {
  return {p, p + n};
}

// 16-bit little-endian samples from file bytes starting at `from`.
inline std::vector<int16_t> le16_samples(const Bytes& bytes, std::size_t from = 0) {
  std::vector<int16_t> out;
  for (std::size_t i = from; i + 1 < bytes.size(); i += 2) {
    out.push_back(static_cast<int16_t>(bytes[i] | bytes[i + 1] << 8));
  }
  return out;
}

inline uint32_t le32_at(const Bytes& b, std::size_t at) {
  return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 |
         uint32_t{b[at + 3]} << 24;
}

inline void free_exactly_once(void* block) {
  EXPECT_TRUE(platform::block_free(block));
  EXPECT_FALSE(platform::block_free(block));
}

class DecoderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    live_blocks_ = platform::live_block_count();
    uint8_t flag = 0;
    ASSERT_EQ(pb_adpcm_dec(0, 4, 0, &flag, nullptr, 1), 0);
    reference.adpcm_reset_state();
  }
  void TearDown() override { EXPECT_EQ(platform::live_block_count(), live_blocks_); }

  // The reference codec's samples for the next codes of the stream.
  std::vector<int16_t> ref_decode(std::span<const uint8_t> codes, int bits) {
    std::vector<int16_t> x(codes.size());
    reference.decode(codes.data(), codes.size(), bits, x.data());
    return x;
  }

  calendo::Adpcm reference;
  testkit::TempDir dir;

 private:
  std::size_t live_blocks_ = 0;
};

}  // namespace decoder_test
