// A deterministic speech-like test signal: a pitch pulse train (about 120 Hz,
// wavering) through two formant resonators, with a syllable envelope and a
// little breath noise, at 8000 samples per second.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

namespace codec_test {

inline std::vector<int16_t> speech_like(std::size_t count, unsigned seed) {
  constexpr double kRate = 8000.0;
  constexpr double kPi = 3.14159265358979323846;
  auto resonator = [](double freq, double bandwidth) {
    const double r = std::exp(-kPi * bandwidth / kRate);
    return std::pair{2 * r * std::cos(2 * kPi * freq / kRate), -r * r};
  };
  const auto [c1, d1] = resonator(700, 130);
  const auto [c2, d2] = resonator(1200, 70);
  double y1 = 0, y1p = 0, y2 = 0, y2p = 0;
  uint32_t noise = 12345u + seed;
  std::vector<int16_t> out(count);
  for (std::size_t k = 0; k < count; ++k) {
    const double t = static_cast<double>(k) / kRate;
    const double pitch = 120 + 20 * std::sin(2 * kPi * 0.7 * t);
    const bool pulse = std::fmod(t * pitch, 1.0) < pitch / kRate;
    noise = noise * 1664525u + 1013904223u;
    const double breath = (static_cast<double>(noise >> 16) / 32768.0 - 1.0) * 0.02;
    const double v1 = c1 * y1 + d1 * y1p + (pulse ? 1.0 : 0.0) + breath;
    y1p = y1;
    y1 = v1;
    const double v2 = c2 * y2 + d2 * y2p + v1;
    y2p = y2;
    y2 = v2;
    const double envelope = std::pow(std::sin(kPi * std::fmod(t * 3.1, 1.0)), 2.0);
    out[k] = static_cast<int16_t>(std::clamp(v2 * 400.0 * envelope, -32768.0, 32767.0));
  }
  return out;
}

}  // namespace codec_test
