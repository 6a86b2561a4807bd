#include "platform/memory.h"

#include <cstdlib>
#include <mutex>
#include <new>
#include <unordered_map>

namespace platform {
namespace {

// Live blocks by address. A table rather than a header in front of each block,
// so that a foreign or already freed pointer is recognised without reading
// memory that may not belong to us.
struct BlockTable {
  std::mutex mutex;
  std::unordered_map<const void*, std::size_t> sizes;
};

BlockTable& table() {
  // Never destroyed: libraries may free blocks while the process exits.
  static BlockTable* instance = new BlockTable;
  return *instance;
}

}  // namespace

void* block_alloc(std::size_t bytes) {
  void* address = std::calloc(bytes == 0 ? 1 : bytes, 1);
  if (address == nullptr) return nullptr;
  BlockTable& blocks = table();
  try {
    std::lock_guard lock(blocks.mutex);
    blocks.sizes.emplace(address, bytes);
  } catch (const std::bad_alloc&) {
    std::free(address);
    return nullptr;
  }
  return address;
}

bool block_free(void* address) {
  if (address == nullptr) return false;
  BlockTable& blocks = table();
  {
    std::lock_guard lock(blocks.mutex);
    if (blocks.sizes.erase(address) == 0) return false;
  }
  std::free(address);
  return true;
}

std::size_t block_size(const void* address) {
  BlockTable& blocks = table();
  std::lock_guard lock(blocks.mutex);
  auto found = blocks.sizes.find(address);
  return found == blocks.sizes.end() ? 0 : found->second;
}

bool block_is_live(const void* address) {
  BlockTable& blocks = table();
  std::lock_guard lock(blocks.mutex);
  return blocks.sizes.count(address) != 0;
}

std::size_t live_block_count() {
  BlockTable& blocks = table();
  std::lock_guard lock(blocks.mutex);
  return blocks.sizes.size();
}

}  // namespace platform
