#include "calendo/unset_allocator.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

namespace calendo {
namespace {

std::size_t mapped_size(std::size_t bytes) {
  return (bytes + kLargeBlockBytes - 1) / kLargeBlockBytes * kLargeBlockBytes;
}

}  // namespace

void* allocate_working_block(std::size_t bytes) {
  if (bytes < kLargeBlockBytes) {
    void* block = std::malloc(bytes == 0 ? 1 : bytes);
    if (block == nullptr) throw std::bad_alloc();
    return block;
  }
  if (bytes > SIZE_MAX - 2 * kLargeBlockBytes) throw std::bad_alloc();
  const std::size_t size = mapped_size(bytes);
  // Mapped a huge page longer, then trimmed to an aligned start.
  const std::size_t span = size + kLargeBlockBytes;
  void* mapped = ::mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) throw std::bad_alloc();
  const auto start = reinterpret_cast<std::uintptr_t>(mapped);
  const std::uintptr_t aligned = (start + kLargeBlockBytes - 1) & ~(kLargeBlockBytes - 1);
  if (aligned > start) ::munmap(mapped, aligned - start);
  const std::size_t tail = span - (aligned - start) - size;
  if (tail > 0) ::munmap(reinterpret_cast<void*>(aligned + size), tail);
  void* block = reinterpret_cast<void*>(aligned);
  // Only advice: a kernel without huge pages keeps the ordinary ones.
  ::madvise(block, size, MADV_HUGEPAGE);
  return block;
}

void free_working_block(void* block, std::size_t bytes) noexcept {
  if (block == nullptr) return;
  if (bytes < kLargeBlockBytes) {
    std::free(block);
    return;
  }
  ::munmap(block, mapped_size(bytes));
}

}  // namespace calendo
