// Cutting the middle of long pauses out of decoded samples: how much goes,
// where the fades lie, and that pieces of any size or order give the same.
#include "playback/pause_skipper.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace calendo {
namespace {

constexpr int16_t kLevel = 1000;
constexpr PauseCut kCut{2756, 110};  // 0.25 s and 10 ms at 11025 Hz

std::vector<int16_t> Steady(std::size_t count) {
  return std::vector<int16_t>(count, kLevel);
}

// `source` in pieces of `piece` samples, each skipped on its own and joined
// in `backward` order if asked (the pieces themselves stay forward).
std::vector<int16_t> SkipInPieces(std::vector<int16_t> source, std::size_t piece,
                                  const std::vector<SampleStretch>& pauses, bool backward) {
  std::vector<std::vector<int16_t>> pieces;
  for (std::size_t at = 0; at < source.size(); at += piece) {
    std::vector<int16_t> part(
        source.begin() + static_cast<std::ptrdiff_t>(at),
        source.begin() + static_cast<std::ptrdiff_t>(std::min(source.size(), at + piece)));
    part.resize(skip_pauses(part, at, pauses, kCut));
    pieces.push_back(std::move(part));
  }
  if (backward) std::reverse(pieces.begin(), pieces.end());
  std::vector<int16_t> out;
  for (const auto& part : pieces) out.insert(out.end(), part.begin(), part.end());
  return out;
}

TEST(PauseSkipper, ShortensEachLongPauseToTheKeptLengthWithFadesInsideIt) {
  // A pause at the very start, one in the middle, one shorter than kept, one at the end.
  const std::vector<SampleStretch> pauses = {
      {0, 9000}, {20000, 31000}, {40000, 42000}, {50000, 60000}};
  std::vector<int16_t> samples = Steady(60000);
  const std::size_t kept = skip_pauses(samples, 0, pauses, kCut);

  const uint64_t expected_cut = (9000 - kCut.keep) + (11000 - kCut.keep) + (10000 - kCut.keep);
  EXPECT_EQ(samples_skipped(pauses, kCut), expected_cut);
  ASSERT_EQ(kept, 60000 - expected_cut);
  samples.resize(kept);

  // Where each cut lands in the output, and the samples the fades changed.
  const uint64_t head = kCut.keep / 2;
  std::vector<uint64_t> joints;
  uint64_t removed = 0;
  for (const SampleStretch& pause : {pauses[0], pauses[1], pauses[3]}) {
    joints.push_back(pause.begin + head - removed);
    removed += pause.end - pause.begin - kCut.keep;
  }
  std::vector<bool> in_fade(samples.size(), false);
  for (const uint64_t joint : joints) {
    for (uint64_t i = joint - kCut.fade; i < joint + kCut.fade; ++i) in_fade[i] = true;
    // Quietest at the joint, full level again just outside the windows.
    EXPECT_LT(samples[joint - 1], kLevel / 50);
    EXPECT_LT(samples[joint], kLevel / 50);
    EXPECT_EQ(samples[joint - kCut.fade - 1], kLevel);
    EXPECT_EQ(samples[joint + kCut.fade], kLevel);
    for (uint64_t i = joint - kCut.fade; i + 1 < joint; ++i) {
      EXPECT_GE(samples[i], samples[i + 1]) << "fade out at " << i;
    }
    for (uint64_t i = joint; i + 1 < joint + kCut.fade; ++i) {
      EXPECT_LE(samples[i], samples[i + 1]) << "fade in at " << i;
    }
  }
  for (std::size_t i = 0; i < samples.size(); ++i) {
    if (!in_fade[i]) {
      ASSERT_EQ(samples[i], kLevel) << "sample " << i << " changed";
    }
  }
}

TEST(PauseSkipper, PiecesOfAnySizeAndOrderGiveTheSameSamples) {
  const std::vector<SampleStretch> pauses = {{3000, 12000}, {15000, 15100}, {20000, 29000}};
  std::vector<int16_t> source(32000);
  for (std::size_t i = 0; i < source.size(); ++i) {
    source[i] = static_cast<int16_t>(static_cast<int>((i * 7919) % 20000) - 10000);
  }
  std::vector<int16_t> whole = source;
  whole.resize(skip_pauses(whole, 0, pauses, kCut));

  for (const std::size_t piece : {1u, 97u, 2720u, 5000u}) {
    EXPECT_EQ(SkipInPieces(source, piece, pauses, false), whole) << "pieces of " << piece;
  }
  // Backward, each piece keeps what it kept forward.
  const std::vector<int16_t> backward = SkipInPieces(source, 2720, pauses, true);
  EXPECT_EQ(backward.size(), whole.size());
}

TEST(PauseSkipper, LeavesSamplesAloneWithoutLongPauses) {
  std::vector<int16_t> samples = Steady(5000);
  EXPECT_EQ(skip_pauses(samples, 100000, {}, kCut), 5000u);
  const std::vector<SampleStretch> shorter = {{1000, 1000 + kCut.keep}};
  EXPECT_EQ(skip_pauses(samples, 0, shorter, kCut), 5000u);
  EXPECT_EQ(samples, Steady(5000));
  // A piece wholly inside a cut keeps nothing.
  const std::vector<SampleStretch> around = {{0, 100000}};
  EXPECT_EQ(skip_pauses(samples, 20000, around, kCut), 0u);
}

}  // namespace
}  // namespace calendo
