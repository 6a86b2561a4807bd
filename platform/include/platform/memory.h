// Movable global memory blocks: the one allocator for every block that crosses
// a library boundary.
//
// A block is allocated zero-filled and already locked; callers only ever see
// the locked address. Whoever holds a block frees it by that address, from any
// module of the process, since every module uses this one implementation. The
// live-block count lets tests prove that no block leaks and none is freed
// twice. All functions are thread-safe.
#pragma once

#include <cstddef>

#include "platform/export.h"

namespace platform {

// Allocates `bytes` zero-filled bytes (a zero-byte request gives a valid,
// distinct block). Returns nullptr when memory is exhausted.
CALENDO_PLATFORM_API void* block_alloc(std::size_t bytes);

// Frees the block whose locked address is `address`. Returns false, and
// changes nothing, for nullptr or an address that is not a live block (a
// double free or a foreign pointer).
CALENDO_PLATFORM_API bool block_free(void* address);

// The size a live block was allocated with; 0 for anything else.
CALENDO_PLATFORM_API std::size_t block_size(const void* address);

// Whether `address` is the locked address of a live block.
CALENDO_PLATFORM_API bool block_is_live(const void* address);

// Number of blocks allocated and not yet freed in this process.
CALENDO_PLATFORM_API std::size_t live_block_count();

}  // namespace platform
