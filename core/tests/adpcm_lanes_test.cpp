// The lane kernels against the scalar kernel on each lane's stream alone:
// from arbitrary states (every bit pattern of every field, so that wraps,
// limits and transitions the reference streams never reach are compared),
// on long encoded streams, with lanes whose samples are discarded, and with
// lengths that are no multiple of the eight steps the kernel works in.
#include "adpcm_kernels.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "any_state.h"
#include "code_streams.h"

namespace {

using namespace calendo;
using namespace calendo::detail;

using LaneKernel = void (*)(AdpcmState (&)[kLanes], OutputStage, const WidthTables&,
                            const LaneStreams&, std::size_t);

// Runs `kernel` on eight streams and each stream alone on the scalar kernel;
// lanes in `discarded` (a bit per lane) keep no samples.
void expect_lanes_agree(LaneKernel kernel, std::vector<std::vector<uint8_t>>& codes,
                        AdpcmState (&states)[kLanes], OutputStage stage, int bits,
                        unsigned discarded, const std::string& trace) {
  const std::size_t count = codes[0].size();
  std::vector<std::vector<int16_t>> lane_out(kLanes, std::vector<int16_t>(count, 0x5A5A));
  std::vector<std::vector<int16_t>> alone_out(kLanes, std::vector<int16_t>(count));
  AdpcmState alone[kLanes];
  LaneStreams streams;
  for (int j = 0; j < kLanes; ++j) {
    alone[j] = states[j];
    decode_scalar(alone[j], stage, tables_for(bits), codes[j].data(), count, alone_out[j].data());
    streams.codes[j] = codes[j].data();
    streams.out[j] = (discarded >> j) & 1 ? nullptr : lane_out[j].data();
  }
  kernel(states, stage, tables_for(bits), streams, count);
  for (int j = 0; j < kLanes; ++j) {
    ASSERT_EQ(states[j], alone[j]) << trace << " lane " << j;
    if ((discarded >> j) & 1) {
      EXPECT_EQ(lane_out[j], std::vector<int16_t>(count, 0x5A5A)) << trace << " lane " << j;
    } else {
      ASSERT_EQ(lane_out[j], alone_out[j]) << trace << " lane " << j;
    }
  }
}

class LaneKernels : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (GetParam() && !kernel_available(Kernel::Avx2))
      GTEST_SKIP() << "this processor has no AVX2 kernel";
  }
  LaneKernel kernel() const { return GetParam() ? decode_lanes_avx2 : decode_lanes_scalar; }
};

TEST_P(LaneKernels, AgreeFromAnyState) {
  std::mt19937 rng(7);
  for (int trial = 0; trial < 600; ++trial) {
    const int bits = 2 + trial % 3;
    const auto stage = trial % 2 ? OutputStage::Gain3_5 : OutputStage::Shift2;
    const std::size_t count = 1 + rng() % 45;
    std::vector<std::vector<uint8_t>> codes(kLanes, std::vector<uint8_t>(count));
    AdpcmState states[kLanes];
    for (int j = 0; j < kLanes; ++j) {
      for (uint8_t& c : codes[j]) c = static_cast<uint8_t>(rng());
      states[j] = codec_test::any_state(rng);
    }
    expect_lanes_agree(kernel(), codes, states, stage, bits, rng() & 0xFF,
                       "trial " + std::to_string(trial));
    if (HasFatalFailure()) return;
  }
}

TEST_P(LaneKernels, AgreeOnLongStreamsOfEveryKind) {
  Adpcm reset;
  reset.adpcm_reset_state();
  for (int bits = 2; bits <= 4; ++bits) {
    std::vector<std::vector<uint8_t>> codes;
    AdpcmState states[kLanes];
    for (int j = 0; j < kLanes; ++j) {
      const codec_test::Kind kind = codec_test::kAllKinds[j % std::size(codec_test::kAllKinds)];
      codes.push_back(codec_test::codes_of(kind, 30011, bits, static_cast<unsigned>(j)));
      states[j] = reset.state();
    }
    expect_lanes_agree(kernel(), codes, states, OutputStage::Gain3_5, bits, 0,
                       std::to_string(bits) + " bits");
  }
}

INSTANTIATE_TEST_SUITE_P(Kernels, LaneKernels, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& p) {
                           return p.param ? "Avx2" : "Scalar";
                         });

}  // namespace
