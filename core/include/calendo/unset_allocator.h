// An allocator for large working buffers whose every element is written
// before it is read: a vector grown with it leaves the new elements unset
// (no zero-filling pass), and a block of at least kLargeBlockBytes is mapped
// on its own, aligned to a huge page and offered to the kernel for huge
// pages, so that filling it costs a few page faults instead of one per 4 KiB
// (where the kernel does not give huge pages, it is an ordinary mapping).
#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <utility>

namespace calendo {

inline constexpr std::size_t kLargeBlockBytes = std::size_t{2} << 20;

// Blocks of `bytes` (any size; at least kLargeBlockBytes maps its own,
// aligned to kLargeBlockBytes). Throws std::bad_alloc when memory is short.
void* allocate_working_block(std::size_t bytes);
// REQUIRES: `block` from allocate_working_block(bytes) with the same `bytes`.
void free_working_block(void* block, std::size_t bytes) noexcept;

template <typename T>
struct UnsetAllocator : std::allocator<T> {
  using value_type = T;
  template <typename U>
  struct rebind {
    using other = UnsetAllocator<U>;
  };

  UnsetAllocator() noexcept = default;
  template <typename U>
  UnsetAllocator(const UnsetAllocator<U>& /*other*/) noexcept {}

  T* allocate(std::size_t n) {
    if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
    return static_cast<T*>(allocate_working_block(n * sizeof(T)));
  }
  void deallocate(T* p, std::size_t n) noexcept { free_working_block(p, n * sizeof(T)); }

  template <typename U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <typename U, typename... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }

  template <typename U>
  bool operator==(const UnsetAllocator<U>& /*other*/) const noexcept {
    return true;
  }
};

}  // namespace calendo
