// The 44-byte PCM WAV header the decoders write, and the 8-bit and 16-bit byte
// forms of the samples behind it. Plain functions, no state: any thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace calendo {

// The unsigned 8-bit form of a sample: (sample / 256, truncated toward zero) + 128.
constexpr uint8_t to_unsigned_8(int16_t sample) {
  return static_cast<uint8_t>(sample / 256 + 128);
}

// Writes samples as PCM bytes: bytes_per_sample 1 gives the unsigned 8-bit
// form, 2 gives signed 16-bit little-endian. Returns the bytes written.
// REQUIRES: bytes_per_sample is 1 or 2 and out holds samples.size() x that many.
std::size_t pcm_bytes(std::span<const int16_t> samples, int bytes_per_sample, uint8_t* out);

inline constexpr std::size_t kWavHeaderSize = 44;
// Offsets of the header's numbers.
inline constexpr std::size_t kWavRiffLengthOffset = 4;
inline constexpr std::size_t kWavSampleRateOffset = 24;
inline constexpr std::size_t kWavDataLengthOffset = 40;
// The largest data length the header's two length fields can both announce.
inline constexpr uint64_t kMaxWavData = uint64_t{UINT32_MAX} - 36;

// "RIFF", data length + 36, "WAVE", "fmt ", 16, format 1 (PCM), 1 channel,
// sample rate, byte rate, block align, bits per sample, "data", data length; all
// numbers little-endian. Block align is bits_per_sample / 8 and the byte rate
// sample_rate x block align; the RIFF length wraps at 32 bits like the field.
std::array<uint8_t, kWavHeaderSize> wav_header(uint32_t sample_rate, uint16_t bits_per_sample,
                                               uint32_t data_length);

// The same header for any format of the "fmt " block, with both lengths as
// the caller states them.
struct WavFormat {
  uint16_t format_tag = 1;  // 1 = PCM
  uint16_t channels = 1;
  uint32_t sample_rate = 0;
  uint16_t block_align = 0;
  uint16_t bits_per_sample = 0;
};
std::array<uint8_t, kWavHeaderSize> wav_header(const WavFormat& format, uint32_t riff_length,
                                               uint32_t data_length);

}  // namespace calendo
