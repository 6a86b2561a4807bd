// Samples per second of the codec core on a speech-like stream: one minute of
// the synthetic voice of codec/tests/test_signal.h, encoded at each width for
// the decoder. Blocks of 2048 codes, as a recorder page gives them; one code a
// call for comparison.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "calendo/adpcm.h"
#include "test_signal.h"

namespace {

constexpr std::size_t kSamples = 8000 * 60;
constexpr std::size_t kBlock = 2048;

const std::vector<int16_t>& signal() {
  static const std::vector<int16_t> s = codec_test::speech_like(kSamples, 0);
  return s;
}

std::vector<uint8_t> codes_for(int bits) {
  calendo::Adpcm encoder;
  encoder.adpcm_reset_state();
  std::vector<uint8_t> codes(kSamples);
  encoder.encode(signal().data(), kSamples, bits, codes.data());
  return codes;
}

// The next block's start, wrapping at the end of the stream.
std::size_t next_block(std::size_t at) {
  return at + 2 * kBlock <= kSamples ? at + kBlock : 0;
}

void BM_Decode(benchmark::State& state) {
  const int bits = static_cast<int>(state.range(0));
  const std::vector<uint8_t> codes = codes_for(bits);
  std::vector<int16_t> out(kBlock);
  calendo::Adpcm decoder;
  decoder.adpcm_reset_state();
  std::size_t at = 0;
  for (auto _ : state) {
    decoder.decode(codes.data() + at, kBlock, bits, out.data());
    benchmark::DoNotOptimize(out.data());
    at = next_block(at);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kBlock));
}

void BM_DecodeCodeByCode(benchmark::State& state) {
  const int bits = static_cast<int>(state.range(0));
  const std::vector<uint8_t> codes = codes_for(bits);
  std::vector<int16_t> out(kBlock);
  calendo::Adpcm decoder;
  decoder.adpcm_reset_state();
  std::size_t at = 0;
  for (auto _ : state) {
    for (std::size_t k = 0; k < kBlock; ++k)
      out[k] = decoder.adpcm_decode_code(codes[at + k], bits);
    benchmark::DoNotOptimize(out.data());
    at = next_block(at);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kBlock));
}

void BM_Encode(benchmark::State& state) {
  const int bits = static_cast<int>(state.range(0));
  const std::vector<int16_t>& samples = signal();
  std::vector<uint8_t> out(kBlock);
  calendo::Adpcm encoder;
  encoder.adpcm_reset_state();
  std::size_t at = 0;
  for (auto _ : state) {
    encoder.encode(samples.data() + at, kBlock, bits, out.data());
    benchmark::DoNotOptimize(out.data());
    at = next_block(at);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kBlock));
}

// With --benchmark_repetitions, "max" reports the largest value over the
// repetitions: for items_per_second the fastest one, the least disturbed by
// other work on a shared machine.
double largest(const std::vector<double>& v) {
  return *std::max_element(v.begin(), v.end());
}

BENCHMARK(BM_Decode)->ArgName("bits")->DenseRange(2, 4)->ComputeStatistics("max", largest);
BENCHMARK(BM_DecodeCodeByCode)
    ->ArgName("bits")
    ->DenseRange(2, 4)
    ->ComputeStatistics("max", largest);
BENCHMARK(BM_Encode)->ArgName("bits")->DenseRange(2, 4)->ComputeStatistics("max", largest);

}  // namespace

BENCHMARK_MAIN();
