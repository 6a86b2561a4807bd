#include "palvek.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <utility>

#include "platform/memory.h"
#include "raw_file.h"

namespace {

constexpr int64_t kWavHeaderBytes = 44;
constexpr unsigned char kEndOfFileByte = 255;
constexpr uint16_t kEndOfFileValue = 65535;

// A block that is freed unless it is handed to the caller.
class PendingBlock {
 public:
  explicit PendingBlock(uint32_t bytes) : address_(platform::block_alloc(bytes)) {}
  ~PendingBlock() {
    if (address_ != nullptr) platform::block_free(address_);
  }
  PendingBlock(const PendingBlock&) = delete;
  PendingBlock& operator=(const PendingBlock&) = delete;
  unsigned char* bytes() const { return static_cast<unsigned char*>(address_); }
  void* release() { return std::exchange(address_, nullptr); }

 private:
  void* address_;
};

// Reads `size` bytes; whatever lies past the end of the file (or behind a
// read error, which the byte reader also reports as the end) becomes 255.
void read_bytes(readers::RawFile& file, unsigned char* into, std::size_t size) {
  const std::size_t got = file.read(into, size).value_or(0);
  std::memset(into + got, kEndOfFileByte, size - got);
}

// Reads `count` file bytes and stores each as one 16-bit value.
void read_values(readers::RawFile& file, unsigned char* into, std::size_t count) {
  std::array<unsigned char, 65536> chunk;
  bool at_end = false;
  for (std::size_t done = 0; done < count;) {
    const std::size_t want = std::min(chunk.size(), count - done);
    std::size_t got = 0;
    if (!at_end) {
      got = file.read(chunk.data(), want).value_or(0);
      at_end = got < want;
    }
    for (std::size_t i = 0; i < want; ++i) {
      const uint16_t value = i < got ? chunk[i] : kEndOfFileValue;
      std::memcpy(into + 2 * (done + i), &value, sizeof value);
    }
    done += want;
  }
}

}  // namespace

extern "C" int32_t Plx(const char* path, int32_t type, void** out, int32_t index, uint32_t bytes,
                       void* dst) {
  if (type != 0 && type != 8 && type != 16) return PLX_FAILED;
  if (out == nullptr) return PLX_FAILED;
  PendingBlock block(bytes);
  if (block.bytes() == nullptr) return PLX_FAILED;

  std::optional<readers::RawFile> file = readers::RawFile::open(path);
  if (!file) return PLX_FAILED;

  if (type == 0) {
    read_bytes(*file, block.bytes(), bytes);
    if (dst != nullptr) std::memcpy(dst, block.bytes(), bytes);
  } else {
    // Exact in 64 bits: no product of a 32-bit index and size wraps around.
    const int64_t offset = int64_t{index} * int64_t{bytes} + kWavHeaderBytes;
    if (!file->seek(offset)) return PLX_FAILED;
    if (type == 8) {
      read_bytes(*file, block.bytes(), bytes);
    } else {
      read_values(*file, block.bytes(), bytes / 2);
    }
  }
  *out = block.release();
  return PLX_OK;
}
