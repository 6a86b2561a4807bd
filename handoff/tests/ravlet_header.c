/* The public header is plain C: this file must compile as C. */
#include "ravlet.h"

static void ignore_copy_data(void* user, int32_t first, const char* text) {
  (void)user;
  (void)first;
  (void)text;
}

/* Creates, attaches to a window that is not this thread's, and destroys a
 * control, all through the C declarations. Returns the attach result. */
int32_t ravlet_c_attach_foreign(uint32_t hwnd) {
  MsgCtl* control = MsgCtlCreate(ignore_copy_data, 0);
  int32_t attached = MsgCtlAttach(control, hwnd);
  MsgCtlDestroy(control);
  return attached;
}
