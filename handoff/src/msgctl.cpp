// MsgCtl: a copy-data handler on a desktop window that calls a C callback.
#include <atomic>
#include <memory>
#include <new>
#include <string>

#include "platform/desktop.h"
#include "ravlet.h"

namespace {

// Shared with the handler registered at the window, so that a message that
// arrives after the control is gone finds it switched off, not freed.
struct Target {
  MsgCtlOnCopyData on_copy_data;
  void* user;
  std::atomic<bool> alive{true};
};

}  // namespace

struct MsgCtl {
  std::shared_ptr<Target> target;
  platform::DesktopWindow window = 0;
  uint32_t handler_id = 0;
};

namespace {

void detach(MsgCtl& control) {
  if (control.window != 0) {
    platform::desktop_remove_copy_data_handler(control.window, control.handler_id);
  }
  control.window = 0;
  control.handler_id = 0;
}

}  // namespace

extern "C" MsgCtl* MsgCtlCreate(MsgCtlOnCopyData on_copy_data, void* user) {
  if (on_copy_data == nullptr) return nullptr;
  try {
    auto* control = new MsgCtl;
    control->target = std::make_shared<Target>();
    control->target->on_copy_data = on_copy_data;
    control->target->user = user;
    return control;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

extern "C" int32_t MsgCtlAttach(MsgCtl* control, uint32_t hwnd) {
  if (control == nullptr) return 0;
  detach(*control);
  if (hwnd == 0) return 0;
  std::shared_ptr<Target> target = control->target;
  const uint32_t id = platform::desktop_add_copy_data_handler(
      hwnd, [target](const platform::DesktopCopyData& message) {
        if (!target->alive) return;
        const std::string text(message.text);  // zero-terminated for the callback
        target->on_copy_data(target->user, static_cast<int32_t>(message.first), text.c_str());
      });
  if (id == 0) return 0;
  control->window = hwnd;
  control->handler_id = id;
  return 1;
}

extern "C" void MsgCtlDestroy(MsgCtl* control) {
  if (control == nullptr) return;
  control->target->alive = false;
  detach(*control);
  delete control;
}
