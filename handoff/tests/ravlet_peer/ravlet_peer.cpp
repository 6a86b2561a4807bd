// A program that owns a desktop window with a MsgCtl attached, as a running
// player does. Usage: ravlet_peer TITLE [--no-attach]
//
// Prints "ready HANDLE" (hex), then "copy FIRST HEX-OF-TEXT" from OnCopyData.
// Commands on standard input: "detach" destroys the control (-> "ok"),
// "quit" ends, as does the end of input.
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/desktop.h"
#include "ravlet.h"

namespace {

void say(const std::string& line) {
  const std::string text = line + "\n";
  [[maybe_unused]] ssize_t wrote = ::write(1, text.data(), text.size());
}

void on_copy_data(void*, int32_t first, const char* text) {
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  for (const char* p = text; *p != 0; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    hex += digits[c >> 4];
    hex += digits[c & 15];
  }
  say("copy " + std::to_string(first) + " " + (hex.empty() ? "-" : hex));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: ravlet_peer TITLE [--no-attach]\n");
    return 2;
  }
  const platform::DesktopWindow window = platform::desktop_create_window(argv[1]);
  if (window == 0) return 1;
  MsgCtl* control = nullptr;
  if (!(argc > 2 && std::strcmp(argv[2], "--no-attach") == 0)) {
    control = MsgCtlCreate(on_copy_data, nullptr);
    if (MsgCtlAttach(control, window) != 1) return 1;
  }
  char handle[16];
  std::snprintf(handle, sizeof handle, "%08x", window);
  say(std::string("ready ") + handle);

  std::string input;
  for (;;) {
    pollfd items[2] = {{0, POLLIN, 0}, {platform::desktop_event_fd(window), POLLIN, 0}};
    if (::poll(items, 2, -1) < 0) continue;
    if (items[1].revents != 0) platform::desktop_process_pending(window);
    if (items[0].revents == 0) continue;
    char chunk[256];
    const ssize_t got = ::read(0, chunk, sizeof chunk);
    if (got <= 0) break;
    input.append(chunk, static_cast<std::size_t>(got));
    for (std::size_t end; (end = input.find('\n')) != std::string::npos;) {
      const std::string line = input.substr(0, end);
      input.erase(0, end + 1);
      if (line == "quit") return 0;
      if (line == "detach") {
        MsgCtlDestroy(control);
        control = nullptr;
        say("ok");
      }
    }
  }
  MsgCtlDestroy(control);
  platform::desktop_destroy_window(window);
  return 0;
}
