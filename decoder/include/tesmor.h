/* libtesmor: turns recorder code words into PCM, and reads PCM WAV files.
 *
 * Decoding: one G.726 codec (2, 3 or 4 bits per code) decodes the pages of one
 * stream at a time. Its state lives in the library, from loading to unloading:
 * at load it is all zero (not the reset state), a reset call starts a new
 * stream, every other decode call continues the stream where the last one left
 * it, whichever export made it. Codes come one per byte (their low 4 bits are
 * used). 7 and 8 kHz pages reach 8000 or 11025 Hz by repeating samples in
 * groups; where a group reaches past the codes given, the input reads as 0.
 * 7 kHz output is smoothed: y[i] = y[i] / 2 + y[i + 1] / 2, each half truncated.
 * File samples are 16-bit little-endian (out_bits 2) or unsigned 8-bit
 * (out_bits 1): (sample / 256, truncated toward zero) + 128.
 *
 * Usage: real-time playback takes SoundSet11k16bit() once, then pb_adpcm_dec()
 * per page. Conversion: AdpcmDecHeader(), AdpcmDecx() with target 1 (reset),
 * then AdpcmDecx() per page; or a whole vqr file with AdpcmDec1(): one header
 * call, then page calls in page order.
 *
 * Ownership: every buffer passed in is the caller's. A block that a call hands
 * out (pb_adpcm_dec, SoundSet11k16bit, PcmWavPlay) is a platform memory block
 * (platform/memory.h, zero-filled and locked) that the caller owns from then on:
 * it frees it with platform::block_free() or passes it to the wave output,
 * which takes it over. The library never frees one. Files are opened and
 * closed inside each call; no handle lives between calls. Paths are used
 * whole, however long; a path the system cannot open fails as such.
 *
 * Threads: none of its own, no locks. The decode exports share the codec and
 * the saved AdpcmDec1 conversion: call them from one thread at a time, in
 * stream order; a playback and a conversion must not interleave.
 * GetWavType() and PcmWavPlay() hold no state and may be called from any thread.
 *
 * Refused calls: an argument outside what an export supports (rate code other
 * than 7, 8, 11; code bits other than 2, 3, 4; out_bits other than 1, 2; more
 * than 2500 codes or a negative count; target other than 0, 1, 2; a missing
 * pointer) makes the call return TESMOR_UNSUPPORTED having done nothing: no
 * file written or created, no block allocated, no caller buffer touched, the
 * codec unchanged. A block that cannot be allocated gives TESMOR_NO_MEMORY,
 * likewise with nothing done.
 */
#ifndef TESMOR_H
#define TESMOR_H

#include <stdint.h>

#define TESMOR_API __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

enum {
  TESMOR_MAX_CODES = 2500,         /* codes a decode call takes at most */
  TESMOR_STREAM_BLOCK = 10000,     /* size of the SoundSet11k16bit block */
  TESMOR_HEADER_COPY = 100,        /* bytes SoundSet11k16bit copies to `header` */
  TESMOR_WAV_HEADER = 44,          /* PCM WAV header written to files */
  TESMOR_DEC1_INFO = 136,          /* AdpcmDec1 info: 92 vqr header + 44 WAV header bytes */
  TESMOR_CANNOT_OPEN = -1,         /* file cannot be opened (or created) */
  TESMOR_UNSUPPORTED = -4,         /* refused: arguments or file mode not supported */
  TESMOR_NO_MEMORY = -5,           /* refused: the block cannot be allocated */
  TESMOR_WAV_NOT_ACCEPTED = -10,   /* GetWavType: neither a mono RIFF WAVE nor 8000/11025 Hz */
  TESMOR_TARGET_8K = 0,            /* AdpcmDecx target: 7 and 8 kHz pages to 8000 Hz */
  TESMOR_TARGET_RESET = 1,         /* AdpcmDecx target: reset the codec only */
  TESMOR_TARGET_11K = 2,           /* AdpcmDecx target: every page to 11025 Hz */
  TESMOR_WAV_NO_DATA_TAG = -20,    /* GetWavType: no "d" with 7 bytes behind it */
  TESMOR_HEADER_COPY_BUFFER = 201, /* a conversion's header copy: AdpcmDecHeader fills 44 bytes */
  TESMOR_DEC1_SOURCE_FAILED = -1,  /* AdpcmDec1 header call: source cannot be opened */
  TESMOR_DEC1_DEST_FAILED = -2,    /* header call: destination cannot be created */
  TESMOR_DEC1_NOT_RECORDER = -3,   /* header call: no "OIFF" magic or fewer than 92 bytes */
  TESMOR_DEC1_PAGE_SOURCE_FAILED = 1, /* page call: no saved conversion, or no source */
  TESMOR_DEC1_PAGE_DEST_FAILED = 2    /* page call: destination not opened or fully written */
};

/* Real-time playback of one page. reset 1: sets codes[0] to 1, resets the codec
 * and returns 0 (the other arguments are not checked or used). Otherwise
 * decodes `count` codes and hands out a block of 16-bit samples in *out:
 * rate code 7 gives the smoothed 7-to-11 expansion (3215 samples), 8 and 11
 * the decoded samples unchanged (`count`). Returns the number of samples. */
TESMOR_API int32_t pb_adpcm_dec(int32_t rate_code, int32_t code_bits, int32_t count, uint8_t* codes,
                                int16_t** out, int32_t reset);

/* The stream-start block: a 10000-byte block holding a 44-byte WAV header
 * (16-bit mono PCM, data length 1056000000) and silence, handed out in *out;
 * its first 100 bytes are copied to `header`. rate 8, 16 and 22 give 8000,
 * 16000 and 22050 Hz, any other value 11025 Hz. Returns 0. */
TESMOR_API int32_t SoundSet11k16bit(void** out, int32_t rate, uint8_t* header);

/* Creates (truncating) the WAV file `path` with the 44-byte header for a
 * conversion of sp_pages SP pages and lp_pages LP pages, copies the header to
 * `header` and returns its data length in bytes, or TESMOR_CANNOT_OPEN. The
 * two code-bit arguments are not read. One mode only: the mode's own rate
 * (rate code 11: 11025 Hz, 7 and 8: 8000 Hz), per page 7: 2338, 8: 1024 (SP)
 * or 2048 (LP), 11: 1360 (SP) or 2046 (LP) samples. Both modes: 11025 Hz, per
 * page 7: 3215, 8: 1408 (SP) or 2816 (LP), 11: 1360 (SP) or 2046 (LP). No pages
 * at all: data length 0 at the SP rate. Lengths double for 16 bits; a length
 * beyond 2^31 - 1 bytes, or a negative page count, is refused. */
TESMOR_API int32_t AdpcmDecHeader(const char* path, int32_t out_bits, int32_t sp_rate,
                                  int32_t lp_rate, int32_t sp_code_bits, int32_t lp_code_bits,
                                  int32_t sp_pages, int32_t lp_pages, uint8_t* header);

/* Conversion of one page, appended to the file `path`. target 1: sets codes[0]
 * to 1 (when codes is given), resets the codec and returns 0, whatever the
 * other arguments. target 0 (8 kHz) and 2 (11 kHz) decode `count` codes and
 * append, by target and rate code: 0/7 the smoothed 7-to-8 expansion (2338),
 * 0/8 the samples unchanged, 2048 of them at 2 bits, else 1024; 2/7 the
 * smoothed 7-to-11 expansion (3215); 2/8 the 8-to-11 expansion over 256 groups
 * (2816) at 2 bits, else 128 groups (1408); x/11 the `count` samples as they
 * are. Returns the number of samples appended, or TESMOR_CANNOT_OPEN when the
 * file cannot be opened or fully written (the codec is not advanced when it
 * cannot be opened). */
TESMOR_API int32_t AdpcmDecx(const char* path, uint8_t* codes, int32_t rate_code, int32_t code_bits,
                             int32_t count, int32_t out_bits, int32_t target);

/* AdpcmDecx preceded by unpacking: the first 8 * full_bytes + extra_bits bits
 * of `packed` (least significant bit first) give (8 * full_bytes + extra_bits)
 * / code_bits codes, one per byte, into `codes`, which are then decoded with
 * codec_bits and converted as AdpcmDecx does, except that rate code 8 takes the
 * 8-to-11 expansion (by codec_bits) for both targets. target 1 only resets, as
 * in AdpcmDecx. REQUIRES: `packed` holds the bytes of those bits and `codes`
 * room for the codes. */
TESMOR_API int32_t AdpcmDecxNew(int16_t code_bits, int16_t full_bytes, int16_t extra_bits,
                                const uint8_t* packed, uint8_t* codes, const char* path,
                                int32_t rate_code, int32_t codec_bits, int32_t out_bits,
                                int32_t target);

/* Whole-file conversion of a vqr file into a WAV file.
 *
 * Header call (page_call 0): checks the recorder header first, and only then
 * creates (truncating) `dest_path`, so that a refused source never touches the
 * destination. Returns the page count (header data length / 528), a
 * TESMOR_DEC1_ header-call result above (source, destination, magic), or
 * TESMOR_UNSUPPORTED for a file mode other than 0, 1, 2, or a rate code or
 * code bits out of range. Writes the WAV header
 * (rate: 11025 Hz for rate code 11 and for file mode 2, else 8000 Hz; data
 * length as the page calls will write it, capped at what the field holds),
 * resets the codec, saves both paths and the file's modes, and copies the 92
 * recorder header bytes and the 44 WAV header bytes into `info`. In file mode
 * 2, first_page and last_page carry the file's SP and LP page counts.
 *
 * Page call (page_call not 0; the paths are not used): appends pages first_page
 * to last_page of the saved source to the saved destination and returns the
 * number of codes of the last page; TESMOR_DEC1_PAGE_SOURCE_FAILED when there
 * is no saved conversion (none yet, or the last header call failed) or the
 * source cannot be opened, TESMOR_DEC1_PAGE_DEST_FAILED when the destination
 * cannot be opened or fully written, TESMOR_UNSUPPORTED for a
 * negative first_page or last_page < first_page. Bytes past the end of the
 * source read as 0xFF. Each page is unpacked with the code bits of its mode:
 * 2 bits give 2046 codes (2048 at rate code 8), 3 bits 1360, 4 bits 1024.
 * File modes 0 and 1 decode every page in the SP or the LP mode; rate code 7
 * writes the head of each group of 7 codes twice (2338 samples from 2046),
 * rate codes 8 and 11 each sample once. File mode 2 decodes each page in the
 * mode of its flag (byte 512, bit 0) and brings it to 11025 Hz as AdpcmDecx
 * with target 2 does. The codec is never reset by a page call. */
TESMOR_API int32_t AdpcmDec1(const char* source_path, const char* dest_path, int32_t out_bits,
                             int32_t first_page, int32_t last_page, uint8_t* info,
                             int32_t page_call);

/* Looks at a WAV file's header. Accepted when "RIFF" at 0, "WAVE" at 8 and one
 * channel, or when the rate at 24 is 11025 or 8000 Hz; else TESMOR_WAV_NOT_ACCEPTED.
 * Sets type_record[0] to 11 or 8 by that rate (else leaves it) and [1] to 2 for
 * 16 bits per sample, else 1. Then finds the first "d" from byte 36 on, takes
 * the 4 bytes after the following 3 as the data length, sets [2] to 43 and
 * returns the length (a length beyond 2^31 - 1 is returned as 2^31 - 1).
 * TESMOR_WAV_NO_DATA_TAG when no "d" with 7 bytes behind it exists; -1 when the
 * file cannot be opened. A file shorter than 36 bytes reads as zeros there. */
TESMOR_API int32_t GetWavType(const char* path, uint8_t* type_record);

/* Reads `count` bytes of a WAV file from byte `offset` into a new block of
 * 16-bit samples, handed out in *out; returns the block size. By the low byte of
 * sample_kind: 1 (8-bit file) a block of 2 * count bytes, each byte b giving
 * (b - 128) * 256; 2 (16-bit file) count bytes, count / 2 samples as they are.
 * Past the end of the file an 8-bit read sees bytes of 255 and a 16-bit read
 * repeats the last sample read (0 when none was). 11: count samples of -32768,
 * 12: count bytes of 0, any other kind count bytes of 0, with no file opened.
 * -1 (and no block) when the file cannot be opened; a negative count or
 * offset, or a block beyond 2^31 - 1 bytes, is refused. */
TESMOR_API int32_t PcmWavPlay(const char* path, int32_t sample_kind, int32_t offset, int32_t count,
                              void** out);

#ifdef __cplusplus
}
#endif

#endif /* TESMOR_H */
