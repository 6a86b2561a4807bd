// A journal of events across processes: each event is one line "<ns> <text>"
// appended to the file named by CALENDO_TEST_JOURNAL, stamped with the
// monotonic clock. The recording stand-in libraries and the scripted host
// write it, so a test can check the order (and spacing) of what a player
// process did up to its very end. Without the variable nothing is written.
#pragma once

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace calendo::testing {

inline constexpr char kJournalVariable[] = "CALENDO_TEST_JOURNAL";

inline void JournalWrite(const char* text) {
  const char* path = std::getenv(kJournalVariable);
  if (path == nullptr || *path == '\0') return;
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  char line[4096];
  const int length =
      std::snprintf(line, sizeof line, "%lld %s\n",
                    static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec, text);
  if (length <= 0) return;
  const int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return;
  const std::size_t size = std::strlen(line);
  [[maybe_unused]] const ssize_t written = write(fd, line, size);
  close(fd);
}

}  // namespace calendo::testing
