/* libmirvane.so: reads raw bytes of a file into a new memory block.
 *
 * Each call allocates one zero-filled block of exactly `bytes` bytes from the
 * process's shared block allocator (platform/memory.h), reads into it and
 * hands it to the caller through `out`; the caller owns it and frees it with
 * platform::block_free(). A file that cannot be opened shows the message box
 * "OpenFileError" titled "GetPlayData" (through platform/dialogs, so the host
 * decides how it is shown) and returns 0. Whenever a call returns without a
 * block, nothing is stored through `out` and nothing is left allocated. Files
 * are opened and closed inside each call; any thread may call at any time. */
#ifndef MIRVANE_H
#define MIRVANE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Reads up to `bytes` bytes from the start of the file. Returns the count
 * read (less than `bytes` at the end of the file; the rest of the block stays
 * zero), or 0 without a block when the file cannot be opened or read, `bytes`
 * is negative, `out` is NULL or memory is exhausted. */
__attribute__((visibility("default"))) int32_t GetPlayData(const char* path, void** out,
                                                           int32_t bytes);

/* As GetPlayData, reading from byte `offset` of the file. An offset at or
 * beyond the end gives 0 and an all-zero block; a negative offset is refused
 * like a failed read. */
__attribute__((visibility("default"))) int32_t GetPlayData2(const char* path, void** out,
                                                            int32_t offset, int32_t bytes);

#ifdef __cplusplus
}
#endif

#endif /* MIRVANE_H */
