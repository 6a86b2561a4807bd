// Loudness normalisation: one gain for a whole recording, measured first
// (EBU R 128 integrated loudness and true peak, libebur128), then applied to
// every sample.
//
// The gain brings the integrated loudness to the target unless that would
// raise the true peak above kPeakCeilingDbtp; then it is lowered to keep the
// peak there. Silence has no integrated loudness: it gets no gain.
#pragma once

#include <cstdint>
#include <span>

#include <ebur128.h>

#include "calendo/fault.h"

namespace calendo {

inline constexpr double kDefaultLoudnessLufs = -16.0;
inline constexpr double kPeakCeilingDbtp = -1.0;

struct Loudness {
  double integrated_lufs = 0;  // -infinity for silence
  double true_peak = 0;        // linear, 1.0 = full scale
};

class LoudnessMeter {
 public:
  explicit LoudnessMeter(uint32_t rate);
  ~LoudnessMeter();
  LoudnessMeter(const LoudnessMeter&) = delete;
  LoudnessMeter& operator=(const LoudnessMeter&) = delete;

  Status Add(std::span<const int16_t> samples);
  Result<Loudness> Measured() const;

  // The refusal of a loudness that cannot be measured.
  static Fault Unmeasurable();

 private:
  ebur128_state* state_;
};

struct Gain {
  double factor = 1.0;        // linear
  bool peak_limited = false;  // lowered for the true peak
  bool measurable = true;     // false: silence, no gain
};

Gain NormalizationGain(const Loudness& measured, double target_lufs);

// Multiplies every sample by `factor`, rounded to the nearest and kept in the
// 16-bit range.
void ApplyGain(std::span<int16_t> samples, double factor);

}  // namespace calendo
