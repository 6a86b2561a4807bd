// The z-order walk and the titles, read from the entries in the directory.
#include <algorithm>
#include <cstring>

#include "desktop_registry.h"
#include "platform/desktop.h"

namespace platform {
namespace {

std::vector<desktop_registry::Entry> live() {
  const std::string dir = desktop_registry::directory().value_or({});
  if (dir.empty()) return {};
  return desktop_registry::live_entries(dir);
}

std::optional<desktop_registry::Entry> live_entry(DesktopWindow window) {
  const std::string dir = desktop_registry::directory().value_or({});
  if (dir.empty() || window == 0) return std::nullopt;
  std::optional<desktop_registry::Entry> entry = desktop_registry::read_entry(dir, window);
  if (!entry || !desktop_registry::owner_alive(*entry)) return std::nullopt;
  return entry;
}

}  // namespace

std::vector<DesktopWindow> desktop_windows() {
  try {
    std::vector<DesktopWindow> handles;
    for (const auto& entry : live()) handles.push_back(entry.handle);
    return handles;
  } catch (const std::bad_alloc&) {
    return {};
  }
}

DesktopWindow desktop_top_window() {
  const std::vector<DesktopWindow> handles = desktop_windows();
  return handles.empty() ? 0 : handles.front();
}

DesktopWindow desktop_next_window(DesktopWindow window) {
  const std::vector<DesktopWindow> handles = desktop_windows();
  auto found = std::find(handles.begin(), handles.end(), window);
  if (found == handles.end() || found + 1 == handles.end()) return 0;
  return *(found + 1);
}

std::optional<std::string> desktop_title(DesktopWindow window) {
  try {
    std::optional<desktop_registry::Entry> entry = live_entry(window);
    if (!entry) return std::nullopt;
    return std::move(entry->title);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

int32_t desktop_title_length(DesktopWindow window) {
  const std::optional<std::string> title = desktop_title(window);
  return title ? static_cast<int32_t>(title->size()) : 0;
}

int32_t desktop_title_text(DesktopWindow window, char* buffer, int32_t size) {
  if (buffer == nullptr || size < 1) return 0;
  const std::optional<std::string> title = desktop_title(window);
  const std::size_t copied =
      title ? std::min(title->size(), static_cast<std::size_t>(size) - 1) : 0;
  if (copied > 0) std::memcpy(buffer, title->data(), copied);
  buffer[copied] = '\0';
  return static_cast<int32_t>(copied);
}

}  // namespace platform
