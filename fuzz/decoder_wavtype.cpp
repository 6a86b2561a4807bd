// GetWavType and PcmWavPlay on arbitrary bytes as a file: no crash, no read
// outside the file or the block, no block left behind.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "platform/memory.h"
#include "tesmor.h"
#include "testing/temp_dir.h"

namespace {

const std::string& input_path() {
  static const std::string path = [] {
    static const testkit::TempDir folder;
    return folder.file("input.wav").string();
  }();
  return path;
}

void write_input(const uint8_t* data, size_t size) {
  FILE* f = std::fopen(input_path().c_str(), "wb");
  if (f == nullptr || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0) std::abort();
}

void read_block(int32_t kind, int32_t offset, int32_t count) {
  void* block = nullptr;
  const int32_t size = PcmWavPlay(input_path().c_str(), kind, offset, count, &block);
  if (size < 0) {
    if (block != nullptr) std::abort();
    return;
  }
  if (platform::block_size(block) != static_cast<size_t>(size) || !platform::block_free(block)) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  write_input(data, size);
  const size_t live = platform::live_block_count();

  uint8_t type[3] = {0, 0, 0};
  const int32_t length = GetWavType(input_path().c_str(), type);
  // The caller's way: 1000-byte stretches from the first sample on, by the width found.
  const int32_t start = type[2] + 1;
  const int32_t count = length > 0 && length < 4000 ? length : 1000;
  read_block(type[1], start, count);
  read_block(1, 0, static_cast<int32_t>(size) + 3);
  read_block(2, static_cast<int32_t>(size / 2), 1001);

  if (platform::live_block_count() != live) std::abort();
  return 0;
}
