// The tempo stretcher on its own: pages in, one block a page out, the blocks
// as long as the source pages divided by the speed, the pitch of a tone kept.
#include "playback/page_stretcher.h"

#include <gtest/gtest.h>

#include <numeric>

#include "tone.h"

namespace calendo {
namespace {

constexpr int32_t kRate = 11025;

struct Stretched {
  std::vector<std::size_t> block_sizes;
  std::vector<int16_t> samples;
};

// `source` in pages of `page` samples through a stretcher at `speed`, each
// page's block taken as soon as it is ready.
Stretched Stretch(const std::vector<int16_t>& source, std::size_t page, double speed) {
  PageStretcher stretcher(kRate, speed);
  Stretched out;
  auto take = [&] {
    while (auto block = stretcher.TakePage()) {
      out.block_sizes.push_back(block->size());
      out.samples.insert(out.samples.end(), block->begin(), block->end());
    }
  };
  for (std::size_t at = 0; at < source.size(); at += page) {
    stretcher.Push(std::span(source).subspan(at, std::min(page, source.size() - at)));
    take();
  }
  stretcher.Finish();
  take();
  EXPECT_EQ(stretcher.PendingPages(), 0u);
  return out;
}

TEST(PageStretcher, EachPageGivesOneBlockOfItsLengthDividedByTheSpeed) {
  const auto source = testing::Sine(440, kRate, 1360 * 40);
  for (const double speed : {0.5, 0.7, 1.3, 1.5, 2.0}) {
    SCOPED_TRACE(speed);
    const Stretched out = Stretch(source, 1360, speed);
    ASSERT_EQ(out.block_sizes.size(), 40u);
    std::size_t end = 0;
    for (std::size_t k = 0; k < 40; ++k) {
      const auto next =
          static_cast<std::size_t>(std::llround(1360.0 * static_cast<double>(k + 1) / speed));
      EXPECT_EQ(out.block_sizes[k], next - end) << "page " << k;
      end = next;
    }
    EXPECT_EQ(out.samples.size(), end);
  }
}

TEST(PageStretcher, ASteadyToneKeepsItsPitch) {
  const auto source = testing::Sine(440, kRate, kRate * 4);
  for (const double speed : {0.5, 1.5, 2.0}) {
    SCOPED_TRACE(speed);
    const Stretched out = Stretch(source, 2046, speed);
    // The middle, away from the stretcher's start and end.
    const std::span<const int16_t> middle =
        std::span(out.samples).subspan(out.samples.size() / 4, out.samples.size() / 2);
    EXPECT_NEAR(testing::DominantFrequency(middle, kRate), 440.0, 4.4);
  }
}

TEST(PageStretcher, OutputLinesUpWithTheSource) {
  // A tone that starts after a second of silence starts after 1/speed
  // seconds of output, give or take a few milliseconds.
  std::vector<int16_t> source(kRate, 0);
  const auto tone = testing::Sine(440, kRate, kRate * 2);
  source.insert(source.end(), tone.begin(), tone.end());
  const Stretched out = Stretch(source, 1360, 2.0);
  const auto onset = std::find_if(out.samples.begin(), out.samples.end(),
                                  [](int16_t s) { return std::abs(s) > 2000; });
  const double onset_s = static_cast<double>(onset - out.samples.begin()) / kRate;
  EXPECT_NEAR(onset_s, 0.5, 0.03);
}

TEST(PageStretcher, NothingPushedGivesNothing) {
  PageStretcher stretcher(kRate, 1.5);
  stretcher.Finish();
  EXPECT_FALSE(stretcher.TakePage());
  stretcher.Push(testing::Sine(440, kRate, 100));  // after the end: ignored
  EXPECT_EQ(stretcher.PendingPages(), 0u);
}

}  // namespace
}  // namespace calendo
