#include "mirvane.h"

#include <cstdint>
#include <optional>
#include <utility>

#include "platform/dialogs.h"
#include "platform/memory.h"
#include "raw_file.h"

namespace {

int32_t read_into_block(const char* path, void** out, int64_t offset, int32_t bytes) {
  if (out == nullptr || bytes < 0) return 0;
  void* block = platform::block_alloc(static_cast<std::size_t>(bytes));
  if (block == nullptr) return 0;

  std::optional<readers::RawFile> file = readers::RawFile::open(path);
  if (!file) {
    platform::block_free(block);
    // Both exports name the box after the first.
    platform::message_box(0, "OpenFileError", "GetPlayData", platform::kMbOk);
    return 0;
  }
  std::optional<std::size_t> got;
  if (file->seek(offset)) got = file->read(block, static_cast<std::size_t>(bytes));
  if (!got) {
    platform::block_free(block);
    return 0;
  }
  *out = block;
  return static_cast<int32_t>(*got);
}

}  // namespace

extern "C" int32_t GetPlayData(const char* path, void** out, int32_t bytes) {
  return read_into_block(path, out, 0, bytes);
}

extern "C" int32_t GetPlayData2(const char* path, void** out, int32_t offset, int32_t bytes) {
  return read_into_block(path, out, offset, bytes);
}
