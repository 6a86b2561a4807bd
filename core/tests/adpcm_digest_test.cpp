// Exactness without the reference data: long streams through the codec, pinned
// to SHA-256 digests taken when the reference-sequence tests passed with the
// same code. A change in any sample or code anywhere in the streams shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "calendo/adpcm.h"
#include "sha256.h"

namespace {

using calendo::Adpcm;
using calendo::InputStage;
using calendo::OutputStage;

constexpr std::size_t kStreamLength = 200000;

// Codes of every value at the width, from a fixed linear congruential sequence.
std::vector<uint8_t> pseudo_random_codes(int bits) {
  std::vector<uint8_t> codes(kStreamLength);
  uint32_t x = 0x2545F491u + static_cast<uint32_t>(bits);
  for (auto& c : codes) {
    x = x * 1664525u + 1013904223u;
    c = static_cast<uint8_t>((x >> 24) & ((1u << bits) - 1));
  }
  return codes;
}

// A signal in integers only (so that no math library can change it): a
// triangle wave whose period sweeps, under a slow envelope, with a little
// noise, reaching the full 16-bit range now and then.
std::vector<int16_t> deterministic_signal() {
  std::vector<int16_t> out(kStreamLength);
  uint32_t noise = 12345u;
  int32_t phase = 0;
  for (std::size_t k = 0; k < out.size(); ++k) {
    const int32_t period = 20 + static_cast<int32_t>((k / 700) % 90);
    phase = (phase + 1) % period;
    const int32_t triangle = (phase < period / 2 ? phase : period - phase) * 4 * 32767 / period;
    const int32_t envelope = static_cast<int32_t>((k / 50) % 200);  // 0 ... 199
    noise = noise * 1103515245u + 12345u;
    const int32_t hiss = static_cast<int32_t>((noise >> 16) & 1023) - 512;
    const int32_t value = (triangle - 32767) * envelope / 100 + hiss;
    out[k] = static_cast<int16_t>(std::clamp(value, -32768, 32767));
  }
  return out;
}

std::string decoded_digest(int bits, OutputStage stage) {
  Adpcm codec(stage);
  codec.adpcm_reset_state();
  const std::vector<uint8_t> codes = pseudo_random_codes(bits);
  std::vector<int16_t> samples(codes.size());
  codec.decode(codes.data(), codes.size(), bits, samples.data());
  std::vector<uint8_t> bytes;
  for (int16_t s : samples) {
    bytes.push_back(static_cast<uint8_t>(s));
    bytes.push_back(static_cast<uint8_t>(static_cast<uint16_t>(s) >> 8));
  }
  return core_test::sha256_hex(bytes);
}

std::string encoded_digest(int bits, InputStage stage) {
  Adpcm codec(OutputStage::Gain3_5, stage);
  codec.adpcm_reset_state();
  const std::vector<int16_t> signal = deterministic_signal();
  std::vector<uint8_t> codes(signal.size());
  codec.encode(signal.data(), signal.size(), bits, codes.data());
  return core_test::sha256_hex(codes);
}

TEST(Sha256, KnownDigests) {
  EXPECT_EQ(core_test::sha256_hex({}),
            "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  const std::string abc = "abc";
  EXPECT_EQ(core_test::sha256_hex({reinterpret_cast<const uint8_t*>(abc.data()), abc.size()}),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  // Two blocks: the padding spills over.
  const std::string two = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
  EXPECT_EQ(core_test::sha256_hex({reinterpret_cast<const uint8_t*>(two.data()), two.size()}),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

TEST(AdpcmDigest, DecodedPseudoRandomStreams) {
  struct Case {
    int bits;
    OutputStage stage;
    const char* digest;
  };
  const Case cases[] = {
      {2, OutputStage::Gain3_5, "61381f5b120ac48bf9d07f15bb186282e46ee5ae277aed0b6606d0a09b17dfce"},
      {3, OutputStage::Gain3_5, "cf74a9fd5db0130f7fd433bcfde5fa70c3c01f66caa973fcbf3b16d68301c1d9"},
      {4, OutputStage::Gain3_5, "4dfd1f574e33a70467d6ed1f8e264e6996596e5c559ca712064d8955b2d12e39"},
      {2, OutputStage::Shift2, "3f48677d4181c5e35923a468d3f9d5704d603c1cc508624be40e57736c5ad8cb"},
      {3, OutputStage::Shift2, "9341c2b26d10ed7000dfc6eb497144cf54b971c19963399744398a992868d91e"},
      {4, OutputStage::Shift2, "b5892a247a6fb2a0673fa22cc798bbf8b7250edb366259f2b11410cef661d325"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(decoded_digest(c.bits, c.stage), c.digest)
        << c.bits << " bits, stage " << static_cast<int>(c.stage);
  }
}

TEST(AdpcmDigest, EncodedDeterministicSignal) {
  struct Case {
    int bits;
    InputStage stage;
    const char* digest;
  };
  const Case cases[] = {
      {2, InputStage::Direct, "030ba909f1757ec2b270409aca5869a8f4932b066e92fd45336fdb756df854da"},
      {3, InputStage::Direct, "78dad809d5020edc1dfa7887c6b64ce7307ffdffac3e80ecdf81eae2694e4d21"},
      {4, InputStage::Direct, "6bd1f241ee4fb01cb5e4ff3551561a7636a3675c625bdab78e8c4bdb385c0d80"},
      {2, InputStage::Gain0_9, "60ac018323352f2f941a5235c6a93ddce0e2aab82cb15fa09d282e261fec54ba"},
      {3, InputStage::Gain0_9, "e4679d5bd4706a6e0b6de2fb4660e80c1533b5201c60cd33258df77ffcb8212c"},
      {4, InputStage::Gain0_9, "104e594c70107d4d1f191a52105468b27c1b47be004d03d4ec4770b6d64a394d"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(encoded_digest(c.bits, c.stage), c.digest)
        << c.bits << " bits, stage " << static_cast<int>(c.stage);
  }
}

}  // namespace
