#include "desktop/display_presence.h"

#include <array>
#include <cstdlib>
#include <string_view>

namespace calendo {
namespace {

bool Set(const char* value) {
  return value != nullptr && *value != '\0';
}

// Qt's platform plugins that draw without a display server.
constexpr std::array<std::string_view, 7> kDisplayless = {
    "offscreen", "minimal", "minimalegl", "vnc", "linuxfb", "eglfs", "vkkhrdisplay"};

bool NeedsNoDisplay(std::string_view platform) {
  platform = platform.substr(0, platform.find(':'));  // the options go
  for (const std::string_view name : kDisplayless) {
    if (platform == name) return true;
  }
  return false;
}

}  // namespace

bool CanShowWindow(const char* display, const char* wayland_display, const char* qpa_platform) {
  if (Set(display) || Set(wayland_display)) return true;
  if (!Set(qpa_platform)) return false;
  std::string_view platforms(qpa_platform);
  while (true) {
    const std::size_t end = platforms.find(';');
    if (NeedsNoDisplay(platforms.substr(0, end))) return true;
    if (end == std::string_view::npos) return false;
    platforms.remove_prefix(end + 1);
  }
}

bool CanShowWindow() {
  return CanShowWindow(std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY"),
                       std::getenv("QT_QPA_PLATFORM"));
}

}  // namespace calendo
