/* libsondrel: plays a stream of PCM memory blocks on the wave-out device from
 * a worker thread, without blocking its caller.
 *
 * Create the engine once (WavCreate), then hand it blocks (WavAddPlayData):
 * the first block of each stream starts with a WAV header that gives the
 * format and the number of PCM bytes of the whole stream, later blocks are
 * plain PCM. Poll the progress with WavNowPlay; pause, resume, stop at any
 * time; WavDestroy at the end. After a stop, or once the announced bytes have
 * played, the next block must again carry a header.
 *
 * Ownership: blocks are memory blocks of platform/memory.h, passed as the
 * locked address. A refused block (result 0) stays the caller's; an accepted
 * one is the engine's, which frees it exactly once, whatever happens to the
 * stream (played, stopped, destroyed, or the device failed).
 *
 * Threads: call every export from one thread, the one that made the first
 * WavCreate. That thread must dispatch its platform messages
 * (platform/messages.h: get_message or wakeup_fd + peek_message, then
 * dispatch_message) for WavNowPlay to change: the worker reports by messages
 * to a hidden window of that thread.
 *
 * The device is the platform's wave-out device (CALENDO_AUDIO chooses the
 * sound card, null or a capture file).
 */
#ifndef SONDREL_H
#define SONDREL_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define SONDREL_API __attribute__((visibility("default")))

/* Starts the engine and its worker thread. 1 = started; 0 = an engine already
 * runs (it is left untouched), or the worker did not come up within a few
 * seconds (then nothing is left running). */
SONDREL_API int32_t WavCreate(void);

/* Queues the block whose address is in *block, `length` bytes long. 1 = taken
 * over by the engine; 0 = refused and still the caller's: no engine, a first
 * block that is no header block (at least 100 bytes: "RIFF" at 0, "WAVE" at 8,
 * "fmt " at 12, a format block of at most 18 bytes, then "data" and the stream
 * length), a stream whose announced bytes are all given, or a block that is
 * not a live memory block of at least `length` bytes. Never blocks. */
SONDREL_API int32_t WavAddPlayData(void** block, uint32_t length);

/* Nonzero pauses, 0 resumes. 1 = passed on to the worker; 0 = no engine. */
SONDREL_API int32_t WavPause(int32_t pause);

/* Stops the stream: queued and playing blocks are dropped and freed.
 * 1 = passed on; 0 = no engine. */
SONDREL_API int32_t WavStop(void);

/* WavNowPlay's answers other than a count of blocks played. */
enum {
  SONDREL_NOW_IDLE = -1,      /* no stream */
  SONDREL_NOW_NO_ENGINE = -2, /* no engine: none made, or destroyed */
  SONDREL_NOW_STARVED = -3,   /* every block handed in has played, stream not complete */
  SONDREL_NOW_PAUSED = -4     /* paused */
};

/* Progress as last reported to the caller's thread: SONDREL_NOW_NO_ENGINE,
 * SONDREL_NOW_IDLE, SONDREL_NOW_STARVED (a block handed in ends it at once),
 * SONDREL_NOW_PAUSED, otherwise the number of blocks played in this stream. */
SONDREL_API int32_t WavNowPlay(void);

/* Stops the stream and ends the engine; waits (a few seconds at most) for the
 * worker thread to end. Without an engine nothing happens. */
SONDREL_API void WavDestroy(void);

#ifdef __cplusplus
}
#endif

#endif /* SONDREL_H */
