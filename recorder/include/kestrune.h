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
  KESTRUNE_LP_PAGE = 5,        /* play_1pagerd: LP page read */
  KESTRUNE_VQR_HEADER = 92,    /* vqr file: header bytes in front of the first page */
  KESTRUNE_VQR_PAGE = 528,     /* vqr file: bytes of one page */
  KESTRUNE_VQR_FLAG = 512      /* vqr page: offset of its mode flag (bit 0: 1 = LP) */
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

/* ---- Making vqr files from PCM WAV files ----------------------------------
 *
 * A vqr file is made in three steps: wav_vqr_check() tells whether a WAV file
 * can be converted and how large the vqr file will be; wav_vqr_mkheader()
 * creates the vqr file (replacing one that exists) with its 92-byte header;
 * wav_vqr_encoder() appends the pages, in one call from page 0 with
 * (size - 92) / 528 pages or in runs of calls whose start pages follow on from
 * each other (the runs give the same file as one call). The plain functions
 * make the standard layout: SP pages (1360 3-bit codes, flag 0) from an
 * 11025 Hz source, LP pages (2046 2-bit codes, flag 1) from an 8000 Hz source.
 * The _f functions take the layout: code_bytes and extra_bits make a stream of
 * 8 * code_bytes + extra_bits bits per page holding that many / code_bits codes.
 *
 * WAV files are read at the fixed offsets of the canonical header ("WAVE" at 8,
 * format tag 1 at 20, one channel at 22, rate 11025 or 8000 at 24, bits per
 * sample at 34), not walked as chunks; bytes past the end of the file read as
 * 0xFF. The samples, 8-bit unsigned or 16-bit signed, start 8 bytes after the
 * first "data" tag anywhere in the file (also inside another chunk) and are
 * the D bytes that its length field states: bytes after them (a LIST chunk)
 * are no samples, and neither is a trailing part of a sample. The checks size
 * the file from D as stated, also when the file holds fewer bytes; the pages
 * then run past the end of the samples.
 *
 * Encoding: every sample (an 8-bit s as (s - 128) * 256) is scaled by 0.9,
 * exactly, truncated toward zero (1000 -> 900, -32768 -> -29491), then
 * encoded with the library's own encoder state. A call with start page 0
 * resets that state; every other call goes on from where the last call left
 * it, so the calls of one file come in page order from one thread. Past the
 * end of the samples an SP page of the standard layout holds code 7 (nothing
 * encoded); LP pages and pages of the _f layout encode silence (samples of 0).
 *
 * Every function opens its files for the length of the call. A call that
 * fails writes nothing: a refused call creates no file and leaves an existing
 * one alone, and a write that fails part-way is cut back. Sizes and lengths
 * are computed in 64 bits. Results of the checks (a size is at least 92):
 */
enum {
  KESTRUNE_WAV_CANNOT_OPEN = 1, /* missing, unreadable, or not a regular file */
  KESTRUNE_WAV_NOT_WAVE = 2,    /* bytes 8-11 are not "WAVE" */
  KESTRUNE_WAV_BAD_RATE = 3,    /* rate neither 11025 nor 8000 */
  KESTRUNE_WAV_NOT_MONO = 4,    /* channel count (low byte) not 1 */
  KESTRUNE_WAV_NOT_PCM = 5,     /* format tag not 1 */
  KESTRUNE_WAV_NO_SAMPLES = 6,  /* no "data" tag with its length, or bits not 8 or 16 */
  KESTRUNE_WAV_TOO_LARGE = 7,   /* the vqr file would not fit the header's 32-bit sizes */
  KESTRUNE_WAV_BAD_LAYOUT = 8   /* _f: code bits not 2-4, or stream not code_bits to 4096 bits */
};

/* Results of the header writers and the encoders, beside the check's
 * KESTRUNE_WAV_CANNOT_OPEN, KESTRUNE_WAV_BAD_RATE and KESTRUNE_WAV_NO_SAMPLES,
 * which they share: */
enum {
  KESTRUNE_VQR_WRITTEN = 0,         /* the header or the pages are written */
  KESTRUNE_VQR_CANNOT_WRITE = 2,    /* the vqr file cannot be created, opened or written */
  KESTRUNE_VQR_STREAM_TOO_LONG = 3, /* encoder_f: 8 * code_bytes + extra_bits exceeds 4096 */
  KESTRUNE_VQR_BAD_CODE_BITS = 4    /* _f: code bits not 2, 3 or 4 */
};

/* Size in bytes of the vqr file of the standard layout, or a result 1 to 7. */
KESTRUNE_API uint32_t wav_vqr_check(const char* wav_path);

/* Size in bytes of the vqr file of the given layout, or a result 1 to 8. The
 * size has one page more than the samples fill, also when they fill it exactly. */
KESTRUNE_API uint32_t wav_vqr_check_f(const char* wav_path, uint16_t code_bytes,
                                      uint16_t extra_bits, uint16_t code_bits);

/* The 32-bit field at 24 (sample rate), or -1 when the file cannot be opened. */
KESTRUNE_API int32_t wav_samplef(const char* wav_path);

/* The byte at 34 (bits per sample), or -1 when the file cannot be opened. */
KESTRUNE_API int32_t wav_bitmode(const char* wav_path);

/* Creates vqr_path with the header of a standard-layout file of `size` bytes
 * (REQUIRES: a size the check returned). The length in seconds at 56 is that
 * of the source's rate, the SP length field at 71 that of 11025 Hz; file mode
 * at 60 is 0 for an 11025 Hz and 1 for an 8000 Hz source; lengths are whole
 * seconds of D, their low 16 bits stored. Returns 0; 1 = WAV
 * cannot be opened, 2 = vqr file cannot be created or written, 3 = rate neither
 * 11025 nor 8000, 6 = no samples (as the check). */
KESTRUNE_API int16_t wav_vqr_mkheader(const char* wav_path, const char* vqr_path, uint32_t size);

/* As wav_vqr_mkheader() for a file of the given layout: file mode 1 when the
 * codes are 2-bit, SP code bits 4 when they are 4-bit (else 3), both lengths
 * from the file size, the layout and the rate at 24 (0 when that rate is 0).
 * Returns 0, 1, 2, 6 as above; 4 = code bits not 2, 3 or 4. */
KESTRUNE_API int16_t wav_vqr_mkheader_f(const char* wav_path, const char* vqr_path, uint32_t size,
                                        uint16_t code_bytes, uint16_t extra_bits,
                                        uint16_t code_bits);

/* Appends page_count pages of the standard layout, made from the samples of
 * pages start_page onward. Returns 0; 1 = WAV cannot be opened, 2 = vqr file
 * cannot be opened or written, 3 = rate neither 11025 nor 8000, 6 = no samples. */
KESTRUNE_API int16_t wav_vqr_encoder(const char* wav_path, const char* vqr_path,
                                     uint32_t start_page, uint32_t page_count);

/* As wav_vqr_encoder() in the given layout: each 528-byte page holds its codes
 * in bytes 0 to (stream bits rounded up to bytes) - 1, the flag at 512 (1 for
 * 2-bit codes, else 0) and 0xFF elsewhere. Returns 0, 1, 2, 6 as above;
 * 3 = 8 * code_bytes + extra_bits exceeds 4096, 4 = code bits not 2, 3 or 4. */
KESTRUNE_API int16_t wav_vqr_encoder_f(const char* wav_path, const char* vqr_path,
                                       uint32_t start_page, uint32_t page_count,
                                       uint16_t code_bytes, uint16_t extra_bits,
                                       uint16_t code_bits);

/* ---- The library's own decode entry points --------------------------------
 *
 * The same three names as tesmor's, with the same arguments, for callers that
 * bind them in this library; the player binds tesmor's. They share one
 * decoder state of their own (apart from tesmor's and from the encoder's):
 * a reset starts a stream, every other call continues it, so one stream's
 * pages are decoded in order from one thread. They differ from tesmor's in
 * their samples: each is the codec's reconstructed signal shifted left by 2
 * bits (in place of x 3.5), then doubled (shift left 1), low 16 bits kept; and
 * no expansion is smoothed.
 *
 * Blocks handed out are platform memory blocks (platform/memory.h) that the
 * caller owns from then on. An argument outside what an export supports makes
 * it return KESTRUNE_UNSUPPORTED having done nothing (no file created or
 * written, no block, no caller buffer touched, the decoder unchanged); a block
 * that cannot be allocated gives KESTRUNE_NO_MEMORY likewise.
 */
enum {
  KESTRUNE_MAX_CODES = 2050,   /* codes pb_adpcm_dec takes at most */
  KESTRUNE_STREAM_BLOCK = 100, /* size of the SoundSet11k16bit block */
  KESTRUNE_DEC1_INFO = 136,    /* AdpcmDec1 info: 92 vqr header + 44 WAV header bytes */
  KESTRUNE_UNSUPPORTED = -4,
  KESTRUNE_NO_MEMORY = -5,
  KESTRUNE_DEC1_SOURCE_FAILED = 37,     /* AdpcmDec1 header call: source cannot be opened */
  KESTRUNE_DEC1_DEST_FAILED = 2,        /* header call: destination not created or written */
  KESTRUNE_DEC1_PAGE_SOURCE_FAILED = 1, /* page call: no saved conversion, or no source */
  KESTRUNE_DEC1_PAGE_DEST_FAILED = 2    /* page call: destination not opened or written */
};

/* The stream-start block: 100 bytes, a 44-byte header of 11025 Hz 16-bit mono
 * PCM (data length 528000000, whatever `rate` says) and zeros, handed out in
 * *out and copied to the 100-byte `header`. Returns 0. */
KESTRUNE_API int32_t SoundSet11k16bit(void** out, int32_t rate, uint8_t* header);

/* reset 1: sets codes[0] to 1 (when given), resets the decoder and returns 0,
 * the other arguments unchecked and unused. Otherwise decodes count codes
 * (0 to 2050; rate code 7, 8 or 11; code bits 2 to 4) and hands out a block of
 * 11025 Hz samples in *out: rate code 11 the samples as decoded; 7 the groups
 * x0 x0 x1 x2 x2 x3 x4 x4 x5 x6 x6 of 7, 3215 samples; 8 the groups
 * x0 x0 x1 x2 x3 x3 x4 x5 x6 x6 x7 of 8, 256 groups (2816 samples) at 2 bits,
 * else 128 (1408). Groups reaching past the codes read 0. Returns the count. */
KESTRUNE_API int32_t pb_adpcm_dec(int32_t rate_code, int32_t code_bits, int32_t count,
                                  uint8_t* codes, int16_t** out, int32_t reset);

/* Whole-file conversion of a vqr file of file mode 0 (SP) or 1 (LP).
 *
 * Header call (page_call 0): reads the 92-byte recorder header (its magic is
 * not looked at), and only then creates (truncating) dest_path with the WAV
 * header of out_bits 1 (8-bit) or 2 (16-bit) samples: 11025 Hz for rate code
 * 11, else 8000 Hz; data length for (data length at 88) / 528 pages, capped at
 * what the fields hold. Resets the decoder, saves both paths and the mode,
 * copies the 92 recorder and 44 WAV header bytes into info (136 bytes) and
 * returns the page count. KESTRUNE_DEC1_SOURCE_FAILED (37) = the source cannot
 * be opened, KESTRUNE_DEC1_DEST_FAILED (2) = the destination cannot be created
 * or written; these two cannot be told from a
 * page count of 37 or 2 by the result alone, only by info, which a failed call
 * leaves untouched. KESTRUNE_UNSUPPORTED (nothing written) for a source
 * shorter than 92 bytes, file mode 2 or any other mode, or a rate code or code
 * bits out of range.
 *
 * Page call (page_call not 0; the paths are not used): appends pages
 * first_page to last_page of the saved source to the saved destination and
 * returns the number of codes of the last page. Each page is unpacked by the
 * saved code bits: 4 bits 1024 codes from bytes 0-511, 3 bits 1360 codes from
 * 170 groups of 3 bytes, 2 bits 2046 codes (2048 at rate code 8). Rate code 7
 * writes the sample of code k twice when k mod 7 = 0 and k < 2043 (2338 a page
 * of 2046 codes). Bytes past the end of the source read as 0xFF.
 * KESTRUNE_DEC1_PAGE_SOURCE_FAILED (1) = no saved conversion (none yet, or the
 * last header call failed) or the source cannot be opened,
 * KESTRUNE_DEC1_PAGE_DEST_FAILED (2) = the destination cannot be opened or
 * written (what the call wrote is taken back), KESTRUNE_UNSUPPORTED for out_bits other than 1 or 2,
 * a negative first_page or last_page below first_page. */
KESTRUNE_API int32_t AdpcmDec1(const char* source_path, const char* dest_path, int32_t out_bits,
                               int32_t first_page, int32_t last_page, uint8_t* info,
                               int32_t page_call);

#ifdef __cplusplus
}
#endif

#endif /* KESTRUNE_H */
