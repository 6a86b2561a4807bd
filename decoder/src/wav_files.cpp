// PCM WAV files: the type of a file from its header, and stretches of its
// samples as 16-bit blocks. Neither touches the codec.
#include <cstdint>
#include <cstring>

#include <fcntl.h>

#include "calendo/byte_order.h"
#include "calendo/io.h"
#include "platform/memory.h"
#include "tesmor.h"

namespace {

constexpr std::size_t kFixedHeader = 36;
constexpr uint8_t kDataTagStart = 'd';
// "ata" and the four bytes of the data length.
constexpr std::size_t kAfterTag = 7;

enum SampleKind { kEightBitFile = 1, kSixteenBitFile = 2, kSilence8000 = 11, kSilenceZero = 12 };

// Reads the bytes after the first "d"; false when no "d" has 7 bytes behind it.
bool read_after_data_tag(int fd, uint8_t (&after)[kAfterTag]) {
  uint8_t chunk[4096];
  for (;;) {
    const std::size_t got = calendo::read_up_to(fd, chunk);
    if (got == 0) return false;
    const void* tag = std::memchr(chunk, kDataTagStart, got);
    if (tag == nullptr) continue;
    const auto at = static_cast<std::size_t>(static_cast<const uint8_t*>(tag) - chunk) + 1;
    const std::size_t here = got - at < kAfterTag ? got - at : kAfterTag;
    std::memcpy(after, chunk + at, here);
    return calendo::read_up_to(fd, {after + here, kAfterTag - here}) == kAfterTag - here;
  }
}

}  // namespace

extern "C" int32_t GetWavType(const char* path, uint8_t* type_record) {
  if (type_record == nullptr) return TESMOR_UNSUPPORTED;
  const calendo::Result<calendo::UniqueFd> file = calendo::open_fd(path, O_RDONLY);
  if (!file.ok()) return TESMOR_CANNOT_OPEN;
  uint8_t h[kFixedHeader] = {};
  calendo::read_up_to(file->get(), h);

  const bool riff_mono = std::memcmp(h, "RIFF", 4) == 0 && std::memcmp(h + 8, "WAVE", 4) == 0 &&
                         h[22] == 1 && h[23] == 0;
  const bool at_11025 = h[24] == 0x11 && h[25] == 0x2B;
  const bool at_8000 = h[24] == 0x40 && h[25] == 0x1F;
  if (!riff_mono && !at_11025 && !at_8000) return TESMOR_WAV_NOT_ACCEPTED;
  if (at_11025) type_record[0] = 11;
  if (at_8000) type_record[0] = 8;
  type_record[1] = h[34] == 16 && h[35] == 0 ? 2 : 1;

  uint8_t after[kAfterTag];
  if (!read_after_data_tag(file->get(), after)) return TESMOR_WAV_NO_DATA_TAG;
  type_record[2] = 43;
  const uint32_t length = calendo::le32(after + 3);
  return length > INT32_MAX ? INT32_MAX : static_cast<int32_t>(length);
}

extern "C" int32_t PcmWavPlay(const char* path, int32_t sample_kind, int32_t offset, int32_t count,
                              void** out) {
  const int kind = sample_kind & 0xFF;
  const bool doubles = kind == kEightBitFile || kind == kSilence8000;
  const bool reads = kind == kEightBitFile || kind == kSixteenBitFile;
  if (out == nullptr || count < 0 || (doubles && count > INT32_MAX / 2) || (reads && offset < 0)) {
    return TESMOR_UNSUPPORTED;
  }
  const auto n = static_cast<std::size_t>(count);
  const std::size_t size = doubles ? 2 * n : n;

  // The file is opened before the block is taken: a file that cannot be opened
  // leaves no block behind.
  calendo::UniqueFd file;
  if (reads) {
    calendo::Result<calendo::UniqueFd> opened = calendo::open_fd(path, O_RDONLY);
    if (!opened.ok()) return TESMOR_CANNOT_OPEN;
    file = std::move(*opened);
  }
  const auto at = static_cast<uint64_t>(offset);
  void* block = platform::block_alloc(size);
  if (block == nullptr) return TESMOR_NO_MEMORY;
  auto* bytes = static_cast<uint8_t*>(block);
  auto* samples = static_cast<int16_t*>(block);

  switch (kind) {
    case kEightBitFile: {
      // The bytes go to the upper half of the block and are widened upwards
      // from the front, each sample landing at or below its byte.
      uint8_t* source = bytes + n;
      const std::size_t got = calendo::read_up_to_at(file.get(), at, {source, n});
      std::memset(source + got, 0xFF, n - got);
      for (std::size_t i = 0; i < n; ++i) {
        samples[i] = static_cast<int16_t>((source[i] - 128) * 256);
      }
      break;
    }
    case kSixteenBitFile: {
      const std::size_t whole = n / 2;
      const std::size_t got = calendo::read_up_to_at(file.get(), at, {bytes, 2 * whole}) / 2;
      uint8_t last[2] = {0, 0};
      if (got > 0) std::memcpy(last, bytes + 2 * (got - 1), 2);
      // A sample cut by the end of the file counts as not read; an odd
      // count's last byte stays 0.
      for (std::size_t i = got; i < whole; ++i) std::memcpy(bytes + 2 * i, last, 2);
      break;
    }
    case kSilence8000:
      for (std::size_t i = 0; i < n; ++i) samples[i] = INT16_MIN;
      break;
    default:  // 12 and any other kind: the zero-filled block as it is
      break;
  }
  *out = block;
  return static_cast<int32_t>(size);
}
