#include "calendo/adpcm.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "test_signal.h"

namespace {

using calendo::Adpcm;
using calendo::AdpcmState;
using calendo::InputStage;
using calendo::OutputStage;

constexpr int kWidths[] = {2, 3, 4};

std::vector<uint8_t> random_codes(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> codes(n);
  for (uint8_t& c : codes) c = static_cast<uint8_t>(rng() & 15u);
  return codes;
}

std::vector<int16_t> decode_all(Adpcm& codec, const std::vector<uint8_t>& codes, int bits) {
  std::vector<int16_t> out(codes.size());
  codec.decode(codes.data(), codes.size(), bits, out.data());
  return out;
}

TEST(Adpcm_State, StartsAllZeroAndResetsToTheResetValues) {
  Adpcm codec;
  EXPECT_EQ(codec.state(), AdpcmState{});
  codec.adpcm_reset_state();
  const AdpcmState& s = codec.state();
  EXPECT_EQ(s.sr1, 32);
  EXPECT_EQ(s.sr2, 32);
  for (uint16_t dq : s.dq) EXPECT_EQ(dq, 32);
  EXPECT_EQ(s.yu, 544);
  EXPECT_EQ(s.yl, 34816u);
  EXPECT_EQ(s.a1 | s.a2 | s.b[0] | s.b[5] | s.pk1 | s.pk2 | s.dms | s.dml | s.ap | s.td, 0);
}

TEST(Adpcm_Decode, AllOnesAfterResetIsSilence) {
  for (const auto& [bits, code] : {std::pair{4, 15}, std::pair{3, 7}}) {
    Adpcm codec;
    codec.adpcm_reset_state();
    const std::vector<uint8_t> codes(500, static_cast<uint8_t>(code));
    for (int16_t sample : decode_all(codec, codes, bits)) ASSERT_EQ(sample, 0) << bits;
  }
}

TEST(Adpcm_Decode, PiecesEqualWholeUnlessResetBetween) {
  const std::vector<uint8_t> codes = random_codes(3000, 7);
  for (int bits : kWidths) {
    Adpcm whole;
    whole.adpcm_reset_state();
    const std::vector<int16_t> expected = decode_all(whole, codes, bits);

    Adpcm pieces;
    pieces.adpcm_reset_state();
    std::vector<int16_t> got(codes.size());
    std::mt19937 rng(bits);
    for (std::size_t at = 0; at < codes.size();) {
      const std::size_t n = std::min<std::size_t>(rng() % 700, codes.size() - at);
      pieces.decode(codes.data() + at, n, bits, got.data() + at);
      at += n;
    }
    EXPECT_EQ(got, expected) << bits;
    EXPECT_EQ(pieces.state(), whole.state()) << bits;

    // A reset after the first half changes the second half.
    Adpcm reset;
    reset.adpcm_reset_state();
    std::vector<int16_t> with_reset(codes.size());
    reset.decode(codes.data(), 1500, bits, with_reset.data());
    reset.adpcm_reset_state();
    reset.decode(codes.data() + 1500, 1500, bits, with_reset.data() + 1500);
    EXPECT_TRUE(std::equal(expected.begin(), expected.begin() + 1500, with_reset.begin()));
    EXPECT_FALSE(std::equal(expected.begin() + 1500, expected.end(), with_reset.begin() + 1500));
  }
}

TEST(Adpcm_Decode, BlockEqualsSingleCodesForBothOutputStages) {
  const std::vector<uint8_t> codes = random_codes(2000, 11);
  for (OutputStage stage : {OutputStage::Gain3_5, OutputStage::Shift2}) {
    for (int bits : kWidths) {
      Adpcm block(stage);
      Adpcm single(stage);
      block.adpcm_reset_state();
      single.adpcm_reset_state();
      const std::vector<int16_t> expected = decode_all(block, codes, bits);
      for (std::size_t k = 0; k < codes.size(); ++k) {
        ASSERT_EQ(single.adpcm_decode_code(codes[k], bits), expected[k]) << bits << " " << k;
      }
      EXPECT_EQ(single.state(), block.state());
    }
  }
}

TEST(Adpcm_Decode, CodesOutsideTheWidthAreMasked) {
  // 2 and 3 bits: a code decodes as its low 2 or 3 bits; 4 bits: bits above 4
  // are ignored. An unsupported width is taken as 4.
  const std::vector<uint8_t> codes = random_codes(1000, 3);
  for (const auto& [bits, mask] : {std::pair{2, 3}, std::pair{3, 7}, std::pair{7, 15}}) {
    Adpcm raw;
    Adpcm masked;
    raw.adpcm_reset_state();
    masked.adpcm_reset_state();
    for (uint8_t code : codes) {
      const int effective_bits = bits == 7 ? 4 : bits;
      ASSERT_EQ(raw.adpcm_decode_code(code | 0x30u, bits),
                masked.adpcm_decode_code(code & static_cast<unsigned>(mask), effective_bits));
    }
    EXPECT_EQ(raw.state(), masked.state());
  }
}

TEST(Adpcm_Decode, StrayHighBitsInTheStateAreIgnored) {
  for (int bits : kWidths) {
    Adpcm clean;
    clean.adpcm_reset_state();
    const std::vector<uint8_t> codes = random_codes(300, 5);
    decode_all(clean, codes, bits);
    AdpcmState dirty = clean.state();
    dirty.sr1 |= 0xF800;
    for (uint16_t& dq : dirty.dq) dq |= 0x8800;
    dirty.pk1 |= 0xFE;
    dirty.yu |= 0xE000;
    dirty.yl |= 0xFFF80000u;
    dirty.dms |= 0xF000;
    dirty.dml |= 0xC000;
    dirty.ap |= 0xFC00;
    dirty.td |= 0x10;
    Adpcm stray;
    stray.state() = dirty;
    const std::vector<uint8_t> more = random_codes(300, 6);
    EXPECT_EQ(decode_all(stray, more, bits), decode_all(clean, more, bits));
    EXPECT_EQ(stray.state(), clean.state());
  }
}

TEST(Adpcm_OutputStage, GainTruncatesTowardZeroAndWraps) {
  EXPECT_EQ(Adpcm::output_sample(OutputStage::Gain3_5, 10000), -30536);
  EXPECT_EQ(Adpcm::output_sample(OutputStage::Gain3_5, 3), 10);
  EXPECT_EQ(Adpcm::output_sample(OutputStage::Gain3_5, static_cast<uint16_t>(-3)), -10);
  EXPECT_EQ(Adpcm::output_sample(OutputStage::Shift2, 1000), 4000);
  EXPECT_EQ(Adpcm::output_sample(OutputStage::Shift2, 10000), -25536);
  // Every SR against the multiplication by 3.5 it stands for.
  for (int sr = -32768; sr <= 32767; ++sr) {
    const auto product = static_cast<int64_t>(std::trunc(sr * 3.5));
    const auto expected = static_cast<int16_t>(static_cast<uint16_t>(product & 0xFFFF));
    ASSERT_EQ(Adpcm::output_sample(OutputStage::Gain3_5, static_cast<uint16_t>(sr)), expected)
        << sr;
  }
}

TEST(Adpcm_InputStage, ScalesByNineTenthsTowardZero) {
  EXPECT_EQ(Adpcm::input_sample(InputStage::Gain0_9, 1000), 900);
  EXPECT_EQ(Adpcm::input_sample(InputStage::Gain0_9, -1000), -900);
  EXPECT_EQ(Adpcm::input_sample(InputStage::Gain0_9, 32767), 29490);
  EXPECT_EQ(Adpcm::input_sample(InputStage::Gain0_9, -32768), -29491);
  EXPECT_EQ(Adpcm::input_sample(InputStage::Direct, -32768), -32768);
  for (int x = -32768; x <= 32767; ++x) {
    const auto expected = static_cast<int16_t>(std::trunc(x * 0.9));
    ASSERT_EQ(Adpcm::input_sample(InputStage::Gain0_9, static_cast<int16_t>(x)), expected) << x;
  }
}

TEST(Adpcm_Encode, DecoderFollowsTheEncoderStateSampleBySample) {
  const std::vector<int16_t> signal = codec_test::speech_like(4000, 1);
  for (InputStage input : {InputStage::Direct, InputStage::Gain0_9}) {
    for (int bits : kWidths) {
      Adpcm encoder(OutputStage::Gain3_5, input);
      Adpcm decoder;
      encoder.adpcm_reset_state();
      decoder.adpcm_reset_state();
      for (std::size_t k = 0; k < signal.size(); ++k) {
        const unsigned code = encoder.adpcm_encode_sample(signal[k], bits);
        ASSERT_LE(code, (1u << bits) - 1);
        decoder.adpcm_decode_code(code, bits);
        ASSERT_EQ(encoder.state(), decoder.state()) << bits << " sample " << k;
      }
    }
  }
}

TEST(Adpcm_Encode, BlockEqualsSingleSamples) {
  const std::vector<int16_t> signal = codec_test::speech_like(3000, 2);
  for (int bits : kWidths) {
    Adpcm block(OutputStage::Gain3_5, InputStage::Gain0_9);
    Adpcm single(OutputStage::Gain3_5, InputStage::Gain0_9);
    block.adpcm_reset_state();
    single.adpcm_reset_state();
    std::vector<uint8_t> codes(signal.size());
    block.encode(signal.data(), signal.size(), bits, codes.data());
    for (std::size_t k = 0; k < signal.size(); ++k) {
      ASSERT_EQ(single.adpcm_encode_sample(signal[k], bits), codes[k]) << bits << " " << k;
    }
    EXPECT_EQ(single.state(), block.state());
  }
}

// An encoder whose scale factor Y is y and whose signal estimate is 0, so that
// a sample of +-256 (|D| = 64, DL = 768) meets the quantizer at DLN = 768 - y / 4.
Adpcm encoder_at_scale(uint16_t y) {
  Adpcm codec;
  codec.adpcm_reset_state();
  codec.state().yu = y;
  codec.state().yl = uint32_t{y} << 6;
  return codec;
}

TEST(Adpcm_Encode, ThreeBitQuantizerTakesSmallDlnAsZeroForBothSigns) {
  for (int dln = 3; dln <= 7; ++dln) {
    const auto y = static_cast<uint16_t>((768 - dln) * 4);
    EXPECT_EQ(encoder_at_scale(y).adpcm_encode_sample(256, 3), 7u) << dln;
    EXPECT_EQ(encoder_at_scale(y).adpcm_encode_sample(-256, 3), 7u) << dln;
  }
  // DLN 8 is the lowest level of |I| = 1.
  EXPECT_EQ(encoder_at_scale(760 * 4).adpcm_encode_sample(256, 3), 1u);
  EXPECT_EQ(encoder_at_scale(760 * 4).adpcm_encode_sample(-256, 3), 6u);
}

}  // namespace

// A decoder with tone detected, YL at YLINT 9 (THR2 capped at 31 x 2^9, DQTHR
// 11904) and Y = yu, about to decode code 7 at 4 bits (DQLN 425).
Adpcm decoder_before_transition(uint16_t yu) {
  Adpcm codec;
  codec.adpcm_reset_state();
  AdpcmState& s = codec.state();
  s.yl = 9u << 15;
  s.yu = yu;
  s.ap = 256;  // AL = 64, so Y = YU
  s.td = 1;
  return codec;
}

TEST(Adpcm_Decode, TransitionThresholdIsCappedFromYlintNine) {
  // Y = 5192: DQL = 1723, DQMAG = 11968 > 11904 (below the uncapped 12288):
  // a transition, which clears the predictor and sets AP to 256.
  Adpcm above = decoder_before_transition(5192);
  above.adpcm_decode_code(7, 4);
  EXPECT_EQ(above.state().a1 | above.state().a2 | above.state().b[0] | above.state().b[5], 0);
  EXPECT_EQ(above.state().ap, 256);
  EXPECT_EQ(above.state().td, 0);
  // Y = 5188: DQMAG = 11904, not above the threshold: the coefficients move.
  Adpcm at = decoder_before_transition(5188);
  at.adpcm_decode_code(7, 4);
  EXPECT_NE(at.state().b[0], 0);
}
