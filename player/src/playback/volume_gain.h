// The loudness of playback: a gain in whole decibels applied to the samples
// on their way to the sound device. Each decibel step is a factor of
// 10^(dB/20); a sample beyond the int16 range is held at its end instead of
// wrapping round.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace calendo {

// The steps the Volume menu offers, the first the default.
inline constexpr std::array<int32_t, 5> kVolumeStepsDb = {0, 3, 6, 9, 12};

// Whether `db` is one of kVolumeStepsDb.
bool IsVolumeStep(int32_t db);

// Multiplies every sample by 10^(db/20), rounded to the nearest integer and
// held within [-32768, 32767]. At 0 dB the samples stay as they are, bit for
// bit.
void ApplyVolumeGain(std::span<int16_t> samples, int32_t db);

// Multiplies every sample by `factor` (the Volume's gain combined with any
// other playback gain) in one rounding, held within [-32768, 32767]. A factor
// of 1 leaves the samples as they are, bit for bit.
void ApplyPlaybackGain(std::span<int16_t> samples, double factor);

}  // namespace calendo
