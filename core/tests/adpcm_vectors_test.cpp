// The G.726 conformance sequences at 16, 24 and 32 kbit/s, read from the folder
// named by CALENDO_G726_VECTORS (16-bit little-endian words, one per sample).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "adpcm_kernels.h"
#include "calendo/adpcm.h"
#include "g711_expand.h"

namespace {

std::string vectors_dir() {
  const char* dir = std::getenv("CALENDO_G726_VECTORS");
  return dir ? dir : "";
}

#define SKIP_WITHOUT_VECTORS()                                                               \
  if (vectors_dir().empty())                                                                 \
  GTEST_SKIP() << "CALENDO_G726_VECTORS is not set; set it to the folder of the G.726 test " \
                  "sequences to run this test"

// The low byte of every 16-bit little-endian word of a file; empty if unreadable.
std::vector<uint8_t> read_words(const std::string& name) {
  std::ifstream in(vectors_dir() + "/" + name, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
  std::vector<uint8_t> words;
  for (std::size_t k = 0; k + 1 < bytes.size(); k += 2) {
    words.push_back(static_cast<uint8_t>(bytes[k]));
  }
  return words;
}

struct Sequence {
  const char* input;  // G.711 encoder input
  const char* codes;  // reference codes
  bool alaw;
  int bits;
};

constexpr Sequence kSequences[] = {
    {"nrm.a", "rn16fa.i", true, 2},  {"nrm.a", "rn24fa.i", true, 3},
    {"nrm.a", "rn32fa.i", true, 4},  {"nrm.m", "rn16fm.i", false, 2},
    {"nrm.m", "rn24fm.i", false, 3}, {"nrm.m", "rn32fm.i", false, 4},
    {"ovr.a", "rv16fa.i", true, 2},  {"ovr.a", "rv24fa.i", true, 3},
    {"ovr.a", "rv32fa.i", true, 4},  {"ovr.m", "rv16fm.i", false, 2},
    {"ovr.m", "rv24fm.i", false, 3}, {"ovr.m", "rv32fm.i", false, 4},
};

TEST(AdpcmVectors_Encoder, ReproducesEveryReferenceCode) {
  SKIP_WITHOUT_VECTORS();
  for (const Sequence& seq : kSequences) {
    SCOPED_TRACE(seq.codes);
    const std::vector<uint8_t> input = read_words(seq.input);
    const std::vector<uint8_t> expected = read_words(seq.codes);
    ASSERT_FALSE(input.empty()) << "cannot read " << seq.input;
    ASSERT_EQ(input.size(), expected.size());

    calendo::Adpcm encoder;
    calendo::Adpcm decoder;
    encoder.adpcm_reset_state();
    decoder.adpcm_reset_state();
    std::size_t mismatches = 0;
    for (std::size_t k = 0; k < input.size(); ++k) {
      const int16_t sample =
          seq.alaw ? codec_test::alaw_to_linear(input[k]) : codec_test::ulaw_to_linear(input[k]);
      const unsigned code = encoder.adpcm_encode_sample(sample, seq.bits);
      if (code != expected[k] && ++mismatches <= 5) {
        ADD_FAILURE() << "sample " << k << ": code " << code << ", expected "
                      << unsigned{expected[k]};
      }
      decoder.adpcm_decode_code(code, seq.bits);
      ASSERT_EQ(encoder.state(), decoder.state()) << "sample " << k;
    }
    EXPECT_EQ(mismatches, 0u);
  }
}

// Each kernel, encoding every sequence as one block.
TEST(AdpcmVectors_Encoder, EveryKernelReproducesTheCodes) {
  SKIP_WITHOUT_VECTORS();
  using calendo::detail::Kernel;
  for (Kernel kernel : {Kernel::Scalar, Kernel::Avx2}) {
    if (!calendo::detail::kernel_available(kernel)) continue;
    for (const Sequence& seq : kSequences) {
      SCOPED_TRACE(seq.codes);
      const std::vector<uint8_t> input = read_words(seq.input);
      const std::vector<uint8_t> expected = read_words(seq.codes);
      ASSERT_EQ(input.size(), expected.size());
      std::vector<int16_t> samples(input.size());
      for (std::size_t k = 0; k < input.size(); ++k) {
        samples[k] =
            seq.alaw ? codec_test::alaw_to_linear(input[k]) : codec_test::ulaw_to_linear(input[k]);
      }
      calendo::Adpcm reset;
      reset.adpcm_reset_state();
      calendo::AdpcmState state = reset.state();
      std::vector<uint8_t> codes(samples.size());
      const auto& tables = calendo::detail::tables_for(seq.bits);
      if (kernel == Kernel::Scalar) {
        calendo::detail::encode_scalar(state, calendo::InputStage::Direct, tables, samples.data(),
                                       samples.size(), codes.data());
      } else {
        calendo::detail::encode_avx2(state, calendo::InputStage::Direct, tables, samples.data(),
                                     samples.size(), codes.data());
      }
      EXPECT_EQ(codes, expected) << (kernel == Kernel::Scalar ? "scalar" : "avx2");
    }
  }
}

TEST(AdpcmVectors_Decoder, PiecesEqualWholeAndSingleCodes) {
  SKIP_WITHOUT_VECTORS();
  const std::pair<const char*, int> inputs[] = {{"i16", 2}, {"i24", 3}, {"i32", 4}};
  for (const auto& [name, bits] : inputs) {
    SCOPED_TRACE(name);
    const std::vector<uint8_t> codes = read_words(name);
    ASSERT_FALSE(codes.empty()) << "cannot read " << name;
    for (calendo::OutputStage stage :
         {calendo::OutputStage::Gain3_5, calendo::OutputStage::Shift2}) {
      calendo::Adpcm whole(stage);
      whole.adpcm_reset_state();
      std::vector<int16_t> expected(codes.size());
      whole.decode(codes.data(), codes.size(), bits, expected.data());

      // Pieces of every length from 1 up, cycling, as pages of odd sizes would come.
      calendo::Adpcm pieces(stage);
      pieces.adpcm_reset_state();
      std::vector<int16_t> got(codes.size());
      std::size_t at = 0;
      for (std::size_t length = 1; at < codes.size(); length = length % 37 + 1) {
        const std::size_t n = std::min(length, codes.size() - at);
        pieces.decode(codes.data() + at, n, bits, got.data() + at);
        at += n;
      }
      EXPECT_EQ(got, expected);
      EXPECT_EQ(pieces.state(), whole.state());

      calendo::Adpcm single(stage);
      single.adpcm_reset_state();
      for (std::size_t k = 0; k < codes.size(); ++k) {
        ASSERT_EQ(single.adpcm_decode_code(codes[k], bits), expected[k]) << "code " << k;
      }
      EXPECT_EQ(single.state(), whole.state());
    }
  }
}

}  // namespace
