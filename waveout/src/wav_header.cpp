#include "wav_header.h"

#include <cstring>

namespace sondrel {
namespace {

std::uint16_t get16(const std::uint8_t* at) {
  return static_cast<std::uint16_t>(at[0] | at[1] << 8);
}

std::uint32_t get32(const std::uint8_t* at) {
  return static_cast<std::uint32_t>(get16(at)) | static_cast<std::uint32_t>(get16(at + 2)) << 16;
}

bool tag_is(const std::uint8_t* at, const char (&tag)[5]) {
  return std::memcmp(at, tag, 4) == 0;
}

}  // namespace

std::optional<HeaderBlock> parse_header_block(const std::uint8_t* block, std::size_t length) {
  if (block == nullptr || length < kHeaderBlockMinimum) return std::nullopt;
  if (!tag_is(block, "RIFF") || !tag_is(block + 8, "WAVE") || !tag_is(block + 12, "fmt ")) {
    return std::nullopt;
  }
  HeaderBlock header;
  header.format_length = get32(block + 16);
  if (header.format_length > kFormatBlockMaximum) return std::nullopt;
  const std::size_t data_tag = 20 + header.format_length;  // at most 38: inside 100 bytes
  if (!tag_is(block + data_tag, "data")) return std::nullopt;
  header.stream_bytes = get32(block + data_tag + 4);
  header.pcm_offset = data_tag + 8;

  std::uint8_t record[kFormatBlockMaximum] = {};
  std::memcpy(record, block + 20, header.format_length);
  header.format.format_tag = get16(record);
  header.format.channels = get16(record + 2);
  header.format.samples_per_sec = get32(record + 4);
  header.format.avg_bytes_per_sec = get32(record + 8);
  header.format.block_align = get16(record + 12);
  header.format.bits_per_sample = get16(record + 14);
  header.format.extra_size = get16(record + 16);
  return header;
}

}  // namespace sondrel
