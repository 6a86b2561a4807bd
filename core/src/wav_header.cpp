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
  std::array<uint8_t, kWavHeaderSize> h{};
  uint8_t* p = h.data();
  std::memcpy(p + 0, "RIFF", 4);
  put_le32(p + 4, data_length + 36u);
  std::memcpy(p + 8, "WAVE", 4);
  std::memcpy(p + 12, "fmt ", 4);
  put_le32(p + 16, 16);
  put_le16(p + 20, 1);
  put_le16(p + 22, 1);
  put_le32(p + 24, sample_rate);
  put_le32(p + 28, sample_rate * block_align);
  put_le16(p + 32, block_align);
  put_le16(p + 34, bits_per_sample);
  std::memcpy(p + 36, "data", 4);
  put_le32(p + 40, data_length);
  return h;
}

}  // namespace calendo
