// A program that owns one desktop window, for tests that need a real second
// process. Usage: desktop_peer TITLE [--hang] [--handler-delay-ms N]
//
// Prints "ready HANDLE" (hex) once the window exists, then serves requests and
// reads commands from standard input, one a line, answering each:
//   title TEXT  sets the title            -> "ok"
//   activate    raises it in the z-order  -> "ok"
//   lock        takes the instance lock   -> "lock taken|held|unavailable"
//   quit        ends                      (also at the end of input)
// A copy-data message prints "copy FIRST HEX-OF-TEXT" when its handler
// finishes; with --hang the handler never finishes. Bring to front prints
// "front".
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "platform/desktop.h"

namespace {

void say(const std::string& line) {
  const std::string text = line + "\n";
  [[maybe_unused]] ssize_t wrote = ::write(1, text.data(), text.size());
}

std::string hex(std::string_view bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out.empty() ? "-" : out;
}

const char* lock_word(platform::InstanceLock lock) {
  switch (lock) {
    case platform::InstanceLock::taken:
      return "taken";
    case platform::InstanceLock::held_elsewhere:
      return "held";
    case platform::InstanceLock::unavailable:
      break;
  }
  return "unavailable";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: desktop_peer TITLE [--hang] [--handler-delay-ms N]\n");
    return 2;
  }
  bool hang = false;
  int delay_ms = 0;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--hang") == 0) hang = true;
    if (std::strcmp(argv[i], "--handler-delay-ms") == 0 && i + 1 < argc) {
      delay_ms = std::atoi(argv[++i]);
    }
  }
  calendo::Fault why;
  const platform::DesktopWindow window = platform::desktop_create_window(argv[1], &why);
  if (window == 0) {
    std::fprintf(stderr, "desktop_peer: %s\n", why.message.c_str());
    return 1;
  }
  platform::desktop_add_copy_data_handler(window, [&](const platform::DesktopCopyData& message) {
    if (hang) {
      say("hanging");
      for (;;) ::pause();
    }
    if (delay_ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
    say("copy " + std::to_string(message.first) + " " + hex(message.text));
  });
  platform::desktop_set_front_handler(window, [] { say("front"); });
  char handle[16];
  std::snprintf(handle, sizeof handle, "%08x", window);
  say(std::string("ready ") + handle);

  std::string input;
  for (;;) {
    pollfd items[2] = {{0, POLLIN, 0}, {platform::desktop_event_fd(window), POLLIN, 0}};
    if (::poll(items, 2, -1) < 0) continue;
    if (items[1].revents != 0) platform::desktop_process_pending(window);
    if (items[0].revents == 0) continue;
    char chunk[512];
    const ssize_t got = ::read(0, chunk, sizeof chunk);
    if (got <= 0) break;
    input.append(chunk, static_cast<std::size_t>(got));
    for (std::size_t end; (end = input.find('\n')) != std::string::npos;) {
      const std::string line = input.substr(0, end);
      input.erase(0, end + 1);
      if (line == "quit") return 0;
      if (line.rfind("title ", 0) == 0) {
        say(platform::desktop_set_title(window, line.substr(6)) ? "ok" : "failed");
      } else if (line == "activate") {
        say(platform::desktop_activate(window) ? "ok" : "failed");
      } else if (line == "lock") {
        say(std::string("lock ") + lock_word(platform::desktop_take_instance_lock("calendo-test")));
      } else {
        say("unknown");
      }
    }
  }
  platform::desktop_destroy_window(window);
  return 0;
}
