/* libravlet: hands a text to the window of another running program, and the
 * MsgCtl control that receives such texts at a window.
 *
 * Windows are the top-level windows of the user's desktop (platform/desktop.h):
 * a sender finds the handle by walking them, a receiver registers its own
 * window there and attaches a MsgCtl to it.
 *
 * SendCopyData may be called from any thread; it blocks until the receiving
 * window's handlers ran, at most a few seconds. A MsgCtl is created, attached
 * and destroyed on the thread that owns its window, and its callback runs on
 * that thread while the window processes its pending requests.
 * Nothing is thrown across these functions. */
#ifndef RAVLET_H
#define RAVLET_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define RAVLET_API __attribute__((visibility("default")))

enum {
  /* Results of SendCopyData. */
  RAVLET_HANDLED = 1,      /* the window's MsgCtl raised OnCopyData before the return */
  RAVLET_NOT_ATTACHED = 0, /* delivered, but no MsgCtl is attached there */
  RAVLET_NO_WINDOW = -1,   /* no live window with that handle */
  RAVLET_REFUSED = -2,     /* null or too long a text, or the receiver refused it */
  RAVLET_TIMED_OUT = -3,   /* the receiver did not answer in time */
  /* The identifier field of the messages SendCopyData sends: OnCopyData's `first`. */
  RAVLET_COPY_DATA_ID = 1
};

/* Sends the zero-terminated `text` to window `hwnd` as a copy-data message.
 * `count` is the byte count the caller announces (two per character, 2 for an
 * empty text); the text is read only up to and including its zero byte, which
 * must come within 65535 bytes. */
RAVLET_API int32_t SendCopyData(uint32_t hwnd, const char* text, uint16_t count);

typedef struct MsgCtl MsgCtl;

/* OnCopyData(first, text): `text` is zero-terminated and valid during the call. */
typedef void (*MsgCtlOnCopyData)(void* user, int32_t first, const char* text);

/* A detached control that will call `on_copy_data` with `user`. NULL when
 * on_copy_data is NULL or memory is short. */
RAVLET_API MsgCtl* MsgCtlCreate(MsgCtlOnCopyData on_copy_data, void* user);

/* Watches window `hwnd` of this thread (leaving any window watched before).
 * 1 on success; 0, and detached, when the window is not this thread's. */
RAVLET_API int32_t MsgCtlAttach(MsgCtl* control, uint32_t hwnd);

/* Detaches and frees the control; NULL is ignored. */
RAVLET_API void MsgCtlDestroy(MsgCtl* control);

#ifdef __cplusplus
}
#endif

#endif /* RAVLET_H */
