// A PCM WAV file as the recorder-file maker reads it: a few fields at the fixed
// offsets of the canonical 44-byte header, and the samples found by scanning
// for the first "data" tag. The file is not walked as a chain of chunks.
#pragma once

#include <cstdint>
#include <optional>

#include "calendo/byte_source.h"

namespace kestrune {
using calendo::RecorderFile;
using calendo::Result;
}  // namespace kestrune

namespace kestrune::wav {

// Results shared by the checks, the header writers and the encoders.
inline constexpr uint32_t kCannotOpen = 1;
inline constexpr uint32_t kNotWave = 2;
inline constexpr uint32_t kBadRate = 3;
inline constexpr uint32_t kNotMono = 4;
inline constexpr uint32_t kNotPcm = 5;
inline constexpr uint32_t kNoSamples = 6;
inline constexpr uint32_t kTooLarge = 7;
inline constexpr uint32_t kBadLayout = 8;

inline constexpr uint32_t kSpRate = 11025;
inline constexpr uint32_t kLpRate = 8000;

uint32_t sample_rate(const RecorderFile& file);     // 32-bit value at 24
uint8_t bits_per_sample(const RecorderFile& file);  // byte at 34

// The checks' header tests in their order (WAVE, rate, channels, format tag):
// 0 when all pass, else the first failing test's result (2 to 5).
uint32_t header_refusal(const RecorderFile& file);

// Where the samples are. Only whole samples between `start` and `end` are
// taken; everything past them reads as beyond the end of the source.
struct Samples {
  unsigned bits;         // 8 (unsigned) or 16 (signed little-endian)
  uint64_t start;        // first sample byte: the tag + 8
  uint32_t data_length;  // D, as the data chunk states it
  uint64_t end;          // start + D, or the end of the file if that comes first

  unsigned bytes_per_sample() const { return bits / 8; }
};

// Finds the first "data" tag anywhere in the file, also inside another chunk.
// Nothing (result kNoSamples) when the tag or its four length bytes are not in
// the file, or when bits per sample is not 8 or 16.
std::optional<Samples> locate_samples(const RecorderFile& file);

}  // namespace kestrune::wav
