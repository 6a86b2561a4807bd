#include "calendo/wav_header.h"

#include <cstring>

#include "calendo/byte_order.h"

namespace calendo {

std::size_t pcm_bytes(std::span<const int16_t> samples, int bytes_per_sample, uint8_t* out) {
  if (bytes_per_sample == 1) {
    for (std::size_t i = 0; i < samples.size(); ++i) out[i] = to_unsigned_8(samples[i]);
    return samples.size();
  }
  for (std::size_t i = 0; i < samples.size(); ++i) {
    put_le16(out + 2 * i, static_cast<uint16_t>(samples[i]));
  }
  return 2 * samples.size();
}

std::array<uint8_t, kWavHeaderSize> wav_header(uint32_t sample_rate, uint16_t bits_per_sample,
                                               uint32_t data_length) {
  const auto block_align = static_cast<uint16_t>(bits_per_sample / 8);
  return wav_header(WavFormat{1, 1, sample_rate, block_align, bits_per_sample}, data_length + 36u,
                    data_length);
}

std::array<uint8_t, kWavHeaderSize> wav_header(const WavFormat& format, uint32_t riff_length,
                                               uint32_t data_length) {
  std::array<uint8_t, kWavHeaderSize> h{};
  uint8_t* p = h.data();
  std::memcpy(p + 0, "RIFF", 4);
  put_le32(p + kWavRiffLengthOffset, riff_length);
  std::memcpy(p + 8, "WAVE", 4);
  std::memcpy(p + 12, "fmt ", 4);
  put_le32(p + 16, 16);
  put_le16(p + 20, format.format_tag);
  put_le16(p + 22, format.channels);
  put_le32(p + kWavSampleRateOffset, format.sample_rate);
  put_le32(p + 28, format.sample_rate * format.block_align);
  put_le16(p + 32, format.block_align);
  put_le16(p + 34, format.bits_per_sample);
  std::memcpy(p + 36, "data", 4);
  put_le32(p + kWavDataLengthOffset, data_length);
  return h;
}

}  // namespace calendo
