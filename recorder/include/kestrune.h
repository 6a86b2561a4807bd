/* libkestrune: reads the voice files of the recorder.
 *
 * Two containers exist, chosen by the file kind argument: 0 = vqr (a 92-byte
 * header, then 528-byte pages of 512 code bytes, a mode flag and a trailer),
 * 1 = vqm (the magic "VQ_VOICE", a chunk directory, then 510-byte pages whose
 * run may be broken by gaps that the readers skip). A page holds the packed
 * code words of one stretch of audio in the SP or the LP recording mode.
 *
 * Usage: play_splpget() once per file for its parameters (check rate_code[0]:
 * 1 = cannot open, 13 = refused); pb_splptblmk() with its page_count for the
 * mode of every page; then play_1pagerd() and pb_exdata() per page, get_time()
 * for the play time.
 *
 * Ownership: every buffer is the caller's. Every call that takes a file name
 * opens the file read-only, reads and closes it before returning; nothing is
 * cached between calls. Bytes past the end of a file read as 0xFF.
 * Threads: the readers hold no state; any thread may call them at any time.
 *
 * Damaged files: no file makes a reader write outside the buffers below, crash,
 * or work longer than the file's size (and the caller's counts) justify.
 * play_splpget() refuses a vqr header whose page size is 0 or whose SP or LP
 * descriptor does not fit a page (more than 512 code bytes counting the byte
 * of the extra bits, extra bits above 8, more than 2048 codes), so that its
 * descriptors are safe to pass to pb_exdata(). A page count that would be
 * negative (a vqr file of 88 to 91 bytes, a vqm file whose audio base and
 * gaps exceed its size) is 0.
 *
 * vqm chunk directory: entries of 8 bytes at offset 80 (type, three unread
 * bytes, big-endian length); the directory length is the big-endian value at
 * 92, divided by 8 (rounding toward zero) for the number of entries. Only
 * entries that lie wholly inside the file are walked; a negative length
 * walks none. Entries before the first type-4 entry add their lengths to the
 * audio base. A type-4 entry opens a gap after that many audio bytes (counted
 * from the end of the previous gap), a type-3 entry closes the open gap with
 * its length. After the first type-4 entry, entries of other types, a type-3
 * entry with no gap open, and a gap that is never closed are ignored; a second
 * type-4 entry while a gap is open moves that gap's start. A directory that
 * opens more than 5000 gaps is refused.
 */
#ifndef KESTRUNE_H
#define KESTRUNE_H

#include <stddef.h>
#include <stdint.h>

#define KESTRUNE_API __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

enum {
  KESTRUNE_VQR = 0,            /* file kind: vqr container */
  KESTRUNE_VQM = 1,            /* file kind: vqm container */
  KESTRUNE_PAGE_BUFFER = 528,  /* page buffer that holds a page of either kind */
  KESTRUNE_CODE_BUFFER = 2048, /* code buffer that holds the codes of any page */
  KESTRUNE_CANNOT_OPEN = 1,    /* SplpInfo members / result: file cannot be opened */
  KESTRUNE_WRONG_KIND = 13,    /* SplpInfo members: not a file of the kind asked for */
  KESTRUNE_SP_PAGE = 0,        /* play_1pagerd: SP page read */
  KESTRUNE_LP_PAGE = 5         /* play_1pagerd: LP page read */
};

/* Per-mode parameters of a file; pairs are indexed 0 = SP, 1 = LP. */
typedef struct SplpInfo {
  int16_t rate_code[2];     /* nominal kHz: 7, 8 or 11 */
  int16_t code_bits[2];     /* 2, 3 or 4 */
  uint16_t code_bytes[2];   /* code bytes per page */
  uint16_t extra_bits[2];   /* bits of one more byte, 0 to 8 */
  uint32_t page_count;      /* whole pages in the file */
  uint16_t length_field[2]; /* recorded lengths as the header states them */
  uint32_t page_field[2];   /* page numbers as the header states them */
  uint32_t page_ms[2];      /* duration of one page in ms */
} SplpInfo;

#ifdef __cplusplus
static_assert(sizeof(SplpInfo) == 40, "SplpInfo is a 40-byte record");
static_assert(offsetof(SplpInfo, code_bits) == 4 && offsetof(SplpInfo, code_bytes) == 8 &&
                  offsetof(SplpInfo, extra_bits) == 12 && offsetof(SplpInfo, page_count) == 16 &&
                  offsetof(SplpInfo, length_field) == 20 && offsetof(SplpInfo, page_field) == 24 &&
                  offsetof(SplpInfo, page_ms) == 32,
              "SplpInfo member offsets");
#else
_Static_assert(sizeof(SplpInfo) == 40, "SplpInfo is a 40-byte record");
_Static_assert(offsetof(SplpInfo, page_count) == 16 && offsetof(SplpInfo, page_ms) == 32,
               "SplpInfo member offsets");
#endif

/* Reads the header of the file at `path` of file `kind`. Every member is 1 when
 * the file cannot be opened, 13 when it fails a header check or `kind` is
 * neither 0 nor 1. A vqm file gets the fixed vqm values (11/8 kHz, 3/2 bits,
 * 510 code bytes, 123/255 ms per page) and its page fields from mode byte 61. */
KESTRUNE_API SplpInfo play_splpget(const char* path, int16_t kind);

/* Fills table[0 .. count-1] with the mode of each page: 0 = SP, 1 = LP (vqr:
 * bit 0 of the page's flag byte, 1 past the end of the file; vqm: 0 when mode
 * byte 61 is 5, else 1). Returns 0, or 1 with nothing written when the file
 * cannot be opened or `kind` is neither 0 nor 1. */
KESTRUNE_API int16_t pb_splptblmk(const char* path, uint8_t* table, uint32_t count, int16_t kind);

/* Counts the entries 0 (counts[0]) and 1 (counts[1]) of table[0 .. count-1];
 * other values are counted nowhere. Returns 0. */
KESTRUNE_API int16_t splp_pageno(const uint8_t* table, uint32_t* counts, uint32_t count);

/* Play time in ms of pages 0 to last_page inclusive (table holds last_page + 1
 * entries): sp_ms per entry 0, lp_ms per entry 1, nothing for other values.
 * The sum wraps modulo 2^32. */
KESTRUNE_API int32_t get_time(const uint8_t* table, uint32_t last_page, int32_t sp_ms,
                              int32_t lp_ms);

/* Reads page `page` into `buffer`: 528 bytes of a vqr file, 510 audio bytes of
 * a vqm file with its gaps skipped; missing bytes (also of a negative page
 * number) read as 0xFF. Returns 0 for an SP page, 5 for an LP page (vqr: the
 * page's flag bit 0; vqm: mode byte 61), or 1 with nothing written when the
 * file cannot be opened, `kind` is neither 0 nor 1 or a vqm directory is refused. */
KESTRUNE_API int16_t play_1pagerd(const char* path, int32_t page, uint8_t* buffer, int16_t kind);

/* Unpacks (8 * code_bytes + extra_bits) / code_bits codes, least significant
 * bit first, from `packed` into one code per byte of `codes`, and returns that
 * count. Reads only the bytes that hold those codes' bits. Writes nothing and
 * returns 0 unless code_bits is 2, 3 or 4, extra_bits is 0 to 8 and the stream
 * fits a page (see above): then at most 2048 codes come from at most 512 bytes. */
KESTRUNE_API int32_t pb_exdata(int16_t code_bits, int16_t code_bytes, int16_t extra_bits,
                               const uint8_t* packed, uint8_t* codes);

#ifdef __cplusplus
}
#endif

#endif /* KESTRUNE_H */
