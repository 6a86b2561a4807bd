/* libpalvek.so: reads sample bytes of a file into a new memory block.
 *
 * Plx() allocates one zero-filled block from the process's shared block
 * allocator (platform/memory.h) and hands it to the caller through `out`; the
 * caller owns it and frees it with platform::block_free(). When a call fails
 * nothing is stored through `out` and no block is left behind. The file is
 * opened and closed inside the call; no state survives it, so any thread may
 * call at any time.
 *
 * Sample data is taken to start at byte 44, behind a canonical WAV header. A
 * read past the end of the file yields the end-of-file marker, stored as the
 * byte 255 or the 16-bit value 65535; a short file is not an error. */
#ifndef PALVEK_H
#define PALVEK_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define PLX_OK 44      /* the call completed */
#define PLX_FAILED 999 /* the file cannot be opened, or the call is refused */

/* type 0: `bytes` raw bytes from the start of the file (`index` is ignored);
 *         the block's bytes are also copied into `dst` (when not NULL).
 * type 8: `bytes` bytes from offset index * bytes + 44, byte i at position i.
 * type 16: from the same offset, bytes / 2 file bytes, each stored as one
 *         16-bit value (0 to 255) in the machine's byte order; the block keeps
 *         exactly `bytes` bytes.
 * Returns PLX_OK, or PLX_FAILED when the file cannot be opened, the type
 * is another, `out` is NULL, the offset would lie before the start of the
 * file, or memory is exhausted. Paths of any length are accepted. */
__attribute__((visibility("default"))) int32_t Plx(const char* path, int32_t type, void** out,
                                                   int32_t index, uint32_t bytes, void* dst);

#ifdef __cplusplus
}
#endif

#endif /* PALVEK_H */
