#include "calendo/loudness.h"

#include <algorithm>
#include <cmath>

namespace calendo {
namespace {

// Rounding the scaled samples may lift a peak by half a step; the ceiling
// keeps this much room below kPeakCeilingDbtp.
constexpr double kPeakMarginDb = 0.01;

double DbToFactor(double db) {
  return std::pow(10.0, db / 20.0);
}

}  // namespace

LoudnessMeter::LoudnessMeter(uint32_t rate)
    : state_(ebur128_init(1, rate, EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK)) {}

LoudnessMeter::~LoudnessMeter() {
  if (state_ != nullptr) ebur128_destroy(&state_);
}

Fault LoudnessMeter::Unmeasurable() {
  return Fault{Failure::Unsupported, 0, "cannot measure the loudness"};
}

Status LoudnessMeter::Add(std::span<const int16_t> samples) {
  if (state_ == nullptr ||
      ebur128_add_frames_short(state_, samples.data(), samples.size()) != EBUR128_SUCCESS)
    return Unmeasurable();
  return {};
}

Result<Loudness> LoudnessMeter::Measured() const {
  Loudness result;
  if (state_ == nullptr || ebur128_loudness_global(state_, &result.integrated_lufs) != 0 ||
      ebur128_true_peak(state_, 0, &result.true_peak) != 0) {
    return Unmeasurable();
  }
  return result;
}

Gain NormalizationGain(const Loudness& measured, double target_lufs) {
  Gain gain;
  if (!std::isfinite(measured.integrated_lufs) || measured.true_peak <= 0) {
    gain.measurable = false;
    return gain;
  }
  gain.factor = DbToFactor(target_lufs - measured.integrated_lufs);
  const double ceiling = DbToFactor(kPeakCeilingDbtp - kPeakMarginDb);
  if (measured.true_peak * gain.factor > ceiling) {
    gain.factor = ceiling / measured.true_peak;
    gain.peak_limited = true;
  }
  return gain;
}

void ApplyGain(std::span<int16_t> samples, double factor) {
  for (int16_t& sample : samples) {
    const double scaled = std::round(sample * factor);
    sample = static_cast<int16_t>(std::clamp(scaled, -32768.0, 32767.0));
  }
}

}  // namespace calendo
