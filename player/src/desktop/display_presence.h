// Whether the program can show its window at all: without a display server
// Qt's platform plugin aborts the process with advice that does not apply,
// so the program says what is missing and ends before Qt starts.
#pragma once

namespace calendo {

// True when `display` (DISPLAY) or `wayland_display` (WAYLAND_DISPLAY) names
// a display, or when `qpa_platform` (QT_QPA_PLATFORM: platforms separated by
// ';', each with optional ":options") names one that needs none: offscreen,
// minimal, vnc and the framebuffer ones. Null and empty values are unset.
bool CanShowWindow(const char* display, const char* wayland_display, const char* qpa_platform);

// The same for this process's environment.
bool CanShowWindow();

// What the program prints, on a line of its own, when it cannot.
inline constexpr char kNoDisplayText[] =
    "calendo: no display (DISPLAY/WAYLAND_DISPLAY unset); calendo-convert converts without one";

}  // namespace calendo
