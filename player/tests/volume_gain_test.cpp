// The playback gain on its own: 0 dB changes nothing, each step scales by
// 10^(dB/20), and a sample beyond the int16 range is held at its end.
#include "playback/volume_gain.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace calendo {
namespace {

constexpr int16_t kMin = std::numeric_limits<int16_t>::min();
constexpr int16_t kMax = std::numeric_limits<int16_t>::max();

TEST(VolumeGain, ZeroDecibelsLeavesEverySampleAsItWas) {
  std::vector<int16_t> samples = {kMin, -12345, -1, 0, 1, 12345, kMax};
  std::mt19937 random(7);
  for (int i = 0; i < 1000; ++i) samples.push_back(static_cast<int16_t>(random()));
  const std::vector<int16_t> before = samples;
  ApplyVolumeGain(samples, 0);
  EXPECT_EQ(samples, before);
}

TEST(VolumeGain, EachStepScalesQuietSamplesByItsFactor) {
  for (const int32_t db : kVolumeStepsDb) {
    const double gain = std::pow(10.0, db / 20.0);
    std::vector<int16_t> samples = {-2000, -1, 0, 1, 7, 2000};
    const std::vector<int16_t> before = samples;
    ApplyVolumeGain(samples, db);
    for (std::size_t i = 0; i < samples.size(); ++i) {
      EXPECT_EQ(samples[i], std::lround(before[i] * gain)) << db << " dB, sample " << before[i];
    }
  }
  std::vector<int16_t> six = {1000, -1000};
  ApplyVolumeGain(six, 6);
  EXPECT_EQ(six, (std::vector<int16_t>{1995, -1995}));  // 10^(6/20) = 1.9953
}

TEST(VolumeGain, LoudSamplesAreHeldAtBothEndsWithoutWrapping) {
  for (const int32_t db : {3, 6, 9, 12}) {
    std::vector<int16_t> samples = {kMax, kMin, 30000, -30000, 24000, -24000};
    ApplyVolumeGain(samples, db);
    EXPECT_EQ(samples, (std::vector<int16_t>{kMax, kMin, kMax, kMin, kMax, kMin})) << db << " dB";
  }
  // At the edge, +6 dB: 16423 makes 32768.19, held at 32767; -16423 makes
  // -32768.19, which rounds to the lowest sample itself.
  std::vector<int16_t> edge = {16422, -16422, 16423, -16423};
  ApplyVolumeGain(edge, 6);
  EXPECT_EQ(edge, (std::vector<int16_t>{32766, -32766, kMax, kMin}));
}

TEST(VolumeGain, OnlyTheMenuStepsAreSteps) {
  for (const int32_t db : kVolumeStepsDb) EXPECT_TRUE(IsVolumeStep(db));
  for (const int32_t db : {-3, 1, 5, 15, 100}) EXPECT_FALSE(IsVolumeStep(db));
}

}  // namespace
}  // namespace calendo
