// The scan's and the mark check's rules on bytes made by hand: pages are
// found at any alignment, with the marks that tell them, and nowhere else.
#include <gtest/gtest.h>

#include <atomic>
#include <random>

#include "page_scan.h"
#include "testing/recorder_writer.h"
#include "vqr_page_check.h"

namespace {

using calendo::rescue::check_marks;
using calendo::rescue::ModeRule;
using calendo::rescue::ScanIndex;

testkit::Bytes noise(size_t n, uint32_t seed) {
  std::mt19937 random(seed);
  testkit::Bytes b(n);
  for (auto& x : b) x = static_cast<uint8_t>(random() % 0xFF);  // never 0xFF
  return b;
}

ScanIndex scan(const testkit::Bytes& bytes) {
  const calendo::SpanSource source(bytes);
  std::atomic<bool> stop{false};
  return calendo::rescue::scan_image(source, {}, stop);
}

TEST(PageScan, FindsPagesAtAnyAlignmentAndHeadersOnSectors) {
  for (const size_t shift : {0u, 1u, 7u, 333u, 511u}) {
    testkit::Bytes image = noise(64 * 1024, 7);
    testkit::VqrFile file;
    for (int i = 0; i < 5; ++i)
      file.pages.push_back(i == 3 ? testkit::vqr_lp_page() : testkit::vqr_sp_page());
    const testkit::Bytes bytes = file.bytes();
    std::copy(bytes.begin(), bytes.end(), image.begin() + 4096 + shift);
    const ScanIndex index = scan(image);
    ASSERT_EQ(index.flags.size(), 5u) << shift;
    for (size_t k = 0; k < 5; ++k) {
      EXPECT_EQ(ScanIndex::flag_at(index.flags[k]), 4096 + shift + 92 + 528 * k + 512);
      EXPECT_EQ(ScanIndex::flag_mode(index.flags[k]), k == 3 ? 1 : 0);
    }
    EXPECT_EQ(index.vqr_headers.size(), shift == 0 ? 1u : 0u);
  }
}

TEST(PageScan, ErasedMemoryAndZerosHoldNoPages) {
  testkit::Bytes image(1 << 20, 0xFF);
  std::fill(image.begin() + 300000, image.begin() + 600000, 0);
  // A flag byte of 2 and a trailer one byte short are no marks either.
  image[700000] = 2;
  image[800000] = 0;
  image[800000 + 10] = 0x12;
  EXPECT_TRUE(scan(image).flags.empty());
}

TEST(PageMarks, ACandidateWindowMustKeepThePhaseAndTheMode) {
  testkit::VqrFile file;
  for (int i = 0; i < 8; ++i) file.pages.push_back(testkit::vqr_sp_page());
  const testkit::Bytes bytes = file.bytes();
  const auto window = std::span(bytes).subspan(2048, 2048);
  EXPECT_TRUE(check_marks(window, 2048, ModeRule::Sp).all_good());
  EXPECT_FALSE(check_marks(window, 2048, ModeRule::Lp).all_good());
  // The same bytes at another file offset are out of phase.
  EXPECT_EQ(check_marks(window, 2048 + 100, ModeRule::Sp).good, 0u);
  EXPECT_TRUE(check_marks(window, 2048 + 528 * 3, ModeRule::Sp).all_good());
}

TEST(PageMarks, DamageInsideAWindowIsToldFromItsEnd) {
  testkit::VqrFile file;
  for (int i = 0; i < 8; ++i) file.pages.push_back(testkit::vqr_sp_page());
  testkit::Bytes bytes = file.bytes();
  bytes[92 + 528 * 2 + 520] = 0;  // page 2's trailer
  auto check = check_marks(bytes, 0, ModeRule::Sp);
  EXPECT_TRUE(check.bad_seen);
  EXPECT_EQ(check.good_after_bad, 5u);
  EXPECT_EQ(check.whole_end, 92u + 528 * 2);
  // Marks that stop (slack after the last page) leave nothing good after them.
  std::fill(bytes.begin() + 92 + 528 * 5, bytes.end(), 0);
  check = check_marks(bytes, 0, ModeRule::Sp);
  EXPECT_EQ(check.good_after_bad, 2u);
  EXPECT_TRUE(calendo::rescue::has_zero_run(std::span(bytes).subspan(92 + 528 * 5, 100)));
  EXPECT_FALSE(calendo::rescue::has_zero_run(std::span(bytes).subspan(92 + 528 * 5 - 30, 93)));
}

}  // namespace
