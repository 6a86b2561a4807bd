// The vector kernel against the scalar one, from arbitrary states: every bit
// pattern of every field, so that the wraps and limits the reference
// sequences never reach are compared too.
#include "adpcm_kernels.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "any_state.h"
#include "test_signal.h"

namespace {

using namespace calendo;
using namespace calendo::detail;

class AdpcmKernels : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!kernel_available(Kernel::Avx2)) GTEST_SKIP() << "this processor has no AVX2 kernel";
  }
};

TEST_F(AdpcmKernels, DecodeAgreesFromAnyState) {
  std::mt19937 rng(1);
  std::vector<uint8_t> codes(40);
  std::vector<int16_t> scalar_out(codes.size());
  std::vector<int16_t> vector_out(codes.size());
  for (int trial = 0; trial < 3000; ++trial) {
    const int bits = 2 + trial % 3;
    const auto stage = trial % 2 ? OutputStage::Gain3_5 : OutputStage::Shift2;
    for (uint8_t& c : codes) c = static_cast<uint8_t>(rng());
    AdpcmState scalar = codec_test::any_state(rng);
    AdpcmState vector = scalar;
    decode_scalar(scalar, stage, tables_for(bits), codes.data(), codes.size(), scalar_out.data());
    decode_avx2(vector, stage, tables_for(bits), codes.data(), codes.size(), vector_out.data());
    ASSERT_EQ(vector_out, scalar_out) << "trial " << trial;
    ASSERT_EQ(vector, scalar) << "trial " << trial;
  }
}

TEST_F(AdpcmKernels, EncodeAgreesFromAnyState) {
  std::mt19937 rng(2);
  std::vector<int16_t> samples(40);
  std::vector<uint8_t> scalar_codes(samples.size());
  std::vector<uint8_t> vector_codes(samples.size());
  for (int trial = 0; trial < 3000; ++trial) {
    const int bits = 2 + trial % 3;
    const auto stage = trial % 2 ? InputStage::Direct : InputStage::Gain0_9;
    for (int16_t& x : samples) x = static_cast<int16_t>(rng());
    AdpcmState scalar = codec_test::any_state(rng);
    AdpcmState vector = scalar;
    encode_scalar(scalar, stage, tables_for(bits), samples.data(), samples.size(),
                  scalar_codes.data());
    encode_avx2(vector, stage, tables_for(bits), samples.data(), samples.size(),
                vector_codes.data());
    ASSERT_EQ(vector_codes, scalar_codes) << "trial " << trial;
    ASSERT_EQ(vector, scalar) << "trial " << trial;
  }
}

TEST_F(AdpcmKernels, LongSpeechStreamsAgree) {
  const std::vector<int16_t> signal = codec_test::speech_like(40000, 3);
  for (int bits = 2; bits <= 4; ++bits) {
    AdpcmState scalar{};
    Adpcm reset;
    reset.adpcm_reset_state();
    scalar = reset.state();
    AdpcmState vector = scalar;
    std::vector<uint8_t> scalar_codes(signal.size());
    std::vector<uint8_t> vector_codes(signal.size());
    encode_scalar(scalar, InputStage::Direct, tables_for(bits), signal.data(), signal.size(),
                  scalar_codes.data());
    encode_avx2(vector, InputStage::Direct, tables_for(bits), signal.data(), signal.size(),
                vector_codes.data());
    ASSERT_EQ(vector_codes, scalar_codes) << bits;

    scalar = vector = reset.state();
    std::vector<int16_t> scalar_out(signal.size());
    std::vector<int16_t> vector_out(signal.size());
    decode_scalar(scalar, OutputStage::Gain3_5, tables_for(bits), scalar_codes.data(),
                  scalar_codes.size(), scalar_out.data());
    decode_avx2(vector, OutputStage::Gain3_5, tables_for(bits), scalar_codes.data(),
                scalar_codes.size(), vector_out.data());
    EXPECT_EQ(vector_out, scalar_out) << bits;
    EXPECT_EQ(vector, scalar) << bits;
  }
}

}  // namespace
