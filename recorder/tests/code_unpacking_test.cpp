// pb_exdata: unpacking of 2-, 3- and 4-bit streams with extra bits.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "kestrune.h"
#include "testing/recorder_writer.h"

namespace {

std::vector<uint8_t> random_codes(size_t count, int bits, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> codes(count);
  for (uint8_t& code : codes) code = static_cast<uint8_t>(random() & ((1u << bits) - 1));
  return codes;
}

struct Unpacked {
  int32_t count;
  std::vector<uint8_t> codes;
};

// Unpacks from a source of exactly `source_bytes` bytes (so that the sanitizer
// build catches any read beyond them) into a 2048-byte code buffer, and checks
// that nothing past the returned count was written.
Unpacked unpack(int bits, int n, int e, const std::vector<uint8_t>& packed, size_t source_bytes) {
  std::vector<uint8_t> source(packed.begin(), packed.begin() + static_cast<long>(source_bytes));
  std::vector<uint8_t> codes(KESTRUNE_CODE_BUFFER, 0xEE);
  const int32_t count = pb_exdata(static_cast<int16_t>(bits), static_cast<int16_t>(n),
                                  static_cast<int16_t>(e), source.data(), codes.data());
  EXPECT_TRUE(std::all_of(codes.begin() + std::max(count, 0), codes.end(),
                          [](uint8_t c) { return c == 0xEE; }));
  codes.resize(static_cast<size_t>(std::max(count, 0)));
  return {count, codes};
}

TEST(ExData, StandardPagesGiveTheirCodesBack) {
  const struct {
    int bits, n, e;
    int32_t count;
  } pages[] = {{2, 511, 4, 2046}, {3, 510, 0, 1360}, {4, 512, 0, 1024}, {2, 510, 0, 2040}};
  for (const auto& page : pages) {
    const std::vector<uint8_t> codes = random_codes(size_t(page.count), page.bits, 7);
    std::vector<uint8_t> packed(512, 0);
    testkit::pack_codes(codes, page.bits, packed);
    const Unpacked out = unpack(page.bits, page.n, page.e, packed, 512);
    EXPECT_EQ(out.count, page.count) << page.bits;
    EXPECT_EQ(out.codes, codes) << page.bits;
  }
}

TEST(ExData, LpPageTakesItsLastTwoCodesFromTheLowNibbleOfByte511) {
  std::vector<uint8_t> packed(512, 0);
  packed[511] = 0xA6;  // low nibble 0110: codes 2 then 1; the high nibble is ignored
  Unpacked out = unpack(2, 511, 4, packed, 512);
  ASSERT_EQ(out.count, 2046);
  EXPECT_EQ(out.codes[2044], 2);
  EXPECT_EQ(out.codes[2045], 1);
  packed[511] = 0x56;
  EXPECT_EQ(unpack(2, 511, 4, packed, 512).codes, out.codes);
}

TEST(ExData, ThreeBitStreamsKeepOnlyWholeCodes) {
  std::vector<uint8_t> packed(512, 0);
  packed[0] = 0b1110'1101;  // codes 101, 101, then bits 6-7 of a third
  Unpacked out = unpack(3, 1, 0, packed, 1);
  EXPECT_EQ(out.count, 2);
  EXPECT_EQ(out.codes, (std::vector<uint8_t>{5, 5}));
  EXPECT_EQ(unpack(3, 511, 4, packed, 512).count, 1364);
}

// Every width with every short length and every count of extra bits: the
// count is (8n + e) / bits, the codes are the stream's, and no byte beyond
// the last code's bits is read.
TEST(ExData, AnyLengthAndExtraBitsMatchTheStream) {
  for (int bits = 2; bits <= 4; ++bits) {
    for (int n = 0; n <= 7; ++n) {
      for (int e = 0; e <= 8; ++e) {
        const int32_t count = (8 * n + e) / bits;
        const std::vector<uint8_t> codes = random_codes(size_t(count), bits, unsigned(n * 9 + e));
        const std::vector<uint8_t> packed = testkit::pack_codes(codes, bits);
        const Unpacked out = unpack(bits, n, e, packed, packed.size());
        EXPECT_EQ(out.count, count) << bits << " " << n << " " << e;
        EXPECT_EQ(out.codes, codes) << bits << " " << n << " " << e;
      }
    }
  }
}

TEST(ExData, DescriptorsOutsideAPageWriteNothing) {
  const std::vector<uint8_t> packed(4096, 0x55);
  const struct {
    int bits, n, e;
  } refused[] = {{1, 10, 0},  {5, 10, 0}, {0, 10, 0},  {-3, 10, 0}, {8, 10, 0},   {2, 10, 9},
                 {2, 10, -1}, {3, -1, 0}, {2, 513, 0}, {2, 512, 1}, {4, 32767, 8}};
  for (const auto& d : refused) {
    const Unpacked out = unpack(d.bits, d.n, d.e, packed, packed.size());
    EXPECT_EQ(out.count, 0) << d.bits << " " << d.n << " " << d.e;
  }
  EXPECT_EQ(pb_exdata(2, 4, 0, nullptr, nullptr), 0);
}

}  // namespace
