// The windows this process owns, and how their requests are carried out.
#pragma once

#include <memory>

#include "desktop_wire.h"
#include "platform/desktop.h"

namespace platform::desktop_owned {

struct OwnedWindow;

// The window if this process owns it and the calling thread is its owner.
std::shared_ptr<OwnedWindow> find_for_owner(DesktopWindow window);

// Runs the window's handlers for one request; the answer for its sender.
desktop_wire::Status dispatch(OwnedWindow& window, const desktop_wire::Request& request);

}  // namespace platform::desktop_owned
