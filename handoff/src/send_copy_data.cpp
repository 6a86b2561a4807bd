#include <cstring>

#include "platform/desktop.h"
#include "ravlet.h"

extern "C" int32_t SendCopyData(uint32_t hwnd, const char* text, uint16_t count) {
  // The announced count is not a length to read: it counts two bytes per
  // character, more than a single-byte text has and fewer than a UTF-8 text
  // with wide characters has. The text ends at its zero byte.
  static_cast<void>(count);
  if (text == nullptr) return RAVLET_REFUSED;
  const void* zero = std::memchr(text, 0, platform::kDesktopMaxCopyDataText + 1);
  if (zero == nullptr) return RAVLET_REFUSED;
  const auto length = static_cast<std::size_t>(static_cast<const char*>(zero) - text);
  switch (platform::desktop_send_copy_data(hwnd, RAVLET_COPY_DATA_ID, {text, length})) {
    case platform::DesktopDelivery::handled:
      return RAVLET_HANDLED;
    case platform::DesktopDelivery::no_handler:
      return RAVLET_NOT_ATTACHED;
    case platform::DesktopDelivery::no_window:
      return RAVLET_NO_WINDOW;
    case platform::DesktopDelivery::timed_out:
      return RAVLET_TIMED_OUT;
    case platform::DesktopDelivery::refused:
      break;
  }
  return RAVLET_REFUSED;
}
