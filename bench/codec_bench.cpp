// Samples per second of the codec core on a speech-like stream: codes made by
// encoding a synthetic voiced signal (a pitch pulse train through two formant
// resonators, with a syllable envelope and breath noise).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "codec/adpcm.h"

namespace {

constexpr std::size_t kSamples = 8000 * 60;  // one minute at 8 kHz
constexpr std::size_t kBlock = 2048;         // one page's worth of codes

std::vector<int16_t> speech_like_signal() {
  std::vector<int16_t> out(kSamples);
  const double rate = 8000.0;
  const double pi = 3.14159265358979323846;
  // Two resonators (formants near 700 and 1200 Hz) driven by a 120 Hz pulse train.
  auto resonator = [&](double freq, double bandwidth) {
    const double r = std::exp(-pi * bandwidth / rate);
    return std::pair{2 * r * std::cos(2 * pi * freq / rate), -r * r};
  };
  const auto [c1, d1] = resonator(700, 130);
  const auto [c2, d2] = resonator(1200, 70);
  double y1 = 0, y1p = 0, y2 = 0, y2p = 0;
  uint32_t noise = 12345;
  for (std::size_t k = 0; k < kSamples; ++k) {
    const double t = static_cast<double>(k) / rate;
    const double pitch = 120 + 20 * std::sin(2 * pi * 0.7 * t);
    const bool pulse = std::fmod(t * pitch, 1.0) < pitch / rate;
    noise = noise * 1664525u + 1013904223u;
    const double breath = (static_cast<double>(noise >> 16) / 32768.0 - 1.0) * 0.02;
    const double x = (pulse ? 1.0 : 0.0) + breath;
    const double v1 = c1 * y1 + d1 * y1p + x;
    y1p = y1;
    y1 = v1;
    const double v2 = c2 * y2 + d2 * y2p + v1;
    y2p = y2;
    y2 = v2;
    const double envelope = std::pow(std::sin(pi * std::fmod(t * 3.1, 1.0)), 2.0);
    out[k] = static_cast<int16_t>(std::clamp(v2 * 400.0 * envelope, -32768.0, 32767.0));
  }
  return out;
}

const std::vector<int16_t>& signal() {
  static const std::vector<int16_t> s = speech_like_signal();
  return s;
}

std::vector<uint8_t> codes_for(int bits) {
  codec::Adpcm encoder;
  encoder.adpcm_reset_state(bits);
  std::vector<uint8_t> codes(kSamples);
  encoder.encode(signal().data(), kSamples, bits, codes.data());
  return codes;
}

void BM_Decode(benchmark::State& state) {
  const int bits = static_cast<int>(state.range(0));
  const std::vector<uint8_t> codes = codes_for(bits);
  std::vector<int16_t> out(kBlock);
  codec::Adpcm decoder;
  decoder.adpcm_reset_state(bits);
  std::size_t at = 0;
  for (auto _ : state) {
    decoder.decode(codes.data() + at, kBlock, bits, out.data());
    benchmark::DoNotOptimize(out.data());
    at = at + 2 * kBlock <= kSamples ? at + kBlock : 0;
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kBlock));
}

void BM_Encode(benchmark::State& state) {
  const int bits = static_cast<int>(state.range(0));
  const std::vector<int16_t>& samples = signal();
  std::vector<uint8_t> out(kBlock);
  codec::Adpcm encoder;
  encoder.adpcm_reset_state(bits);
  std::size_t at = 0;
  for (auto _ : state) {
    encoder.encode(samples.data() + at, kBlock, bits, out.data());
    benchmark::DoNotOptimize(out.data());
    at = at + 2 * kBlock <= kSamples ? at + kBlock : 0;
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kBlock));
}

BENCHMARK(BM_Decode)->ArgName("bits")->DenseRange(2, 4);
BENCHMARK(BM_Encode)->ArgName("bits")->DenseRange(2, 4);

}  // namespace

BENCHMARK_MAIN();
