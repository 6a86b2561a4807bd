#include "wav_source.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace kestrune::wav {
namespace {

constexpr uint64_t kScanBlock = 64 * 1024;
constexpr char kDataTag[4] = {'d', 'a', 't', 'a'};

// Offset of the first "data" tag that has its four length bytes in the file.
std::optional<uint64_t> find_data_tag(const RecorderFile& file) {
  const uint64_t size = file.size();
  std::vector<uint8_t> block;
  // Blocks overlap by three bytes so that a tag across a block edge is found.
  for (uint64_t base = 0; base + 8 <= size; base += kScanBlock) {
    const uint64_t len = std::min<uint64_t>(kScanBlock + 3, size - base);
    block.resize(static_cast<size_t>(len));
    file.read_padded(base, block);
    const auto hit =
        std::search(block.begin(), block.end(), std::begin(kDataTag), std::end(kDataTag));
    if (hit != block.end()) {
      const uint64_t tag = base + static_cast<uint64_t>(hit - block.begin());
      if (tag + 8 > size) return std::nullopt;
      return tag;
    }
  }
  return std::nullopt;
}

}  // namespace

uint32_t sample_rate(const RecorderFile& file) {
  return file.le32_at(24);
}

uint8_t bits_per_sample(const RecorderFile& file) {
  return file.byte_at(34);
}

uint32_t header_refusal(const RecorderFile& file) {
  std::array<uint8_t, 4> wave{};
  file.read_padded(8, wave);
  if (std::memcmp(wave.data(), "WAVE", 4) != 0) return kNotWave;
  const uint32_t rate = sample_rate(file);
  if (rate != kSpRate && rate != kLpRate) return kBadRate;
  if (file.byte_at(22) != 1) return kNotMono;
  if (file.byte_at(20) != 1 || file.byte_at(21) != 0) return kNotPcm;
  return 0;
}

std::optional<Samples> locate_samples(const RecorderFile& file) {
  const uint8_t bits = bits_per_sample(file);
  if (bits != 8 && bits != 16) return std::nullopt;
  const std::optional<uint64_t> tag = find_data_tag(file);
  if (!tag) return std::nullopt;
  Samples s{};
  s.bits = bits;
  s.start = *tag + 8;
  s.data_length = file.le32_at(*tag + 4);
  s.end = std::min<uint64_t>(s.start + s.data_length, file.size());
  return s;
}

}  // namespace kestrune::wav
