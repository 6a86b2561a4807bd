// What the chunks of a WAV file say before any library reads it for
// --encode: its sample rate, the bytes of a frame, and the samples its data
// chunk announces beside those the file holds. The libraries read a rate of
// 4 GHz as a negative number and take a file of no samples or no fmt chunk
// for something else, so these are refused here with their own words.
#pragma once

#include <cstdint>
#include <string>

#include "calendo/fault.h"

namespace calendo::tool {

inline constexpr uint32_t kLowestWavRate = 1000;  // Hz
inline constexpr uint32_t kHighestWavRate = 768000;

struct WavLayout {
  uint32_t rate = 0;
  uint32_t frame_bytes = 0;      // the fmt chunk's block align
  bool has_data = false;         // a data chunk was found
  bool length_known = false;     // the length field is believed (not RF64, not a stream's)
  uint64_t announced_bytes = 0;  // the data chunk's length, else the bytes to the end
  uint64_t held_bytes = 0;       // of those, the bytes the file holds
};

// Reads the RIFF chunks of `path` (RIFF/RF64 and WAVE). Refusals:
// WrongKind "is not a WAV file" (also for a recorder file), "the WAV has no
// fmt chunk", "the WAV holds no samples"; Unsupported "sample rate N Hz is
// out of range (1000 Hz to 768 kHz)"; CannotRead with the system's words.
Result<WavLayout> ReadWavLayout(const std::string& path);

// For a data chunk that announces more frames than the file holds, "the
// header announces 2.0 s of samples but the file holds 0.9 s; encoding what
// it holds"; else empty.
std::string TruncationWarning(const WavLayout& layout);

}  // namespace calendo::tool
