// Steady tones and their measure: a sine of a given frequency, and the
// frequency that dominates a run of samples (a Goertzel scan, refined around
// the strongest bin).
#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>
#include <span>
#include <vector>

namespace calendo::testing {

inline std::vector<int16_t> Sine(double hz, int32_t rate, std::size_t count,
                                 double amplitude = 8000) {
  std::vector<int16_t> samples(count);
  for (std::size_t i = 0; i < count; ++i) {
    samples[i] = static_cast<int16_t>(std::lround(
        amplitude * std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / rate)));
  }
  return samples;
}

// The power of `hz` in `samples`.
inline double PowerAt(std::span<const int16_t> samples, int32_t rate, double hz) {
  const double coefficient = 2 * std::cos(2 * std::numbers::pi * hz / rate);
  double s1 = 0;
  double s2 = 0;
  for (const int16_t sample : samples) {
    const double s0 = sample + coefficient * s1 - s2;
    s2 = s1;
    s1 = s0;
  }
  return s1 * s1 + s2 * s2 - coefficient * s1 * s2;
}

// The strongest frequency between `low` and `high` Hz, to a tenth of a hertz.
inline double DominantFrequency(std::span<const int16_t> samples, int32_t rate, double low = 50,
                                double high = 2000) {
  auto strongest = [&](double from, double to, double step) {
    double best = from;
    double best_power = -1;
    for (double hz = from; hz <= to; hz += step) {
      const double power = PowerAt(samples, rate, hz);
      if (power > best_power) {
        best_power = power;
        best = hz;
      }
    }
    return best;
  };
  const double coarse = strongest(low, high, 2.0);
  return strongest(coarse - 2.0, coarse + 2.0, 0.1);
}

}  // namespace calendo::testing
