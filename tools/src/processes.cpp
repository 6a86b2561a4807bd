#include "processes.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

namespace calendo::tool {
namespace {

// Where a child's output goes with capture: unnamed temporary files.
struct Captured {
  size_t index = 0;
  int out = -1;
  int err = -1;
};

int UnnamedFile() {
  char name[] = "/tmp/calendo-convert-XXXXXX";
  const int fd = ::mkstemp(name);
  if (fd >= 0) ::unlink(name);
  return fd;
}

std::string TakeAll(int& fd) {
  std::string text;
  if (fd < 0) return text;
  char buffer[4096];
  ::lseek(fd, 0, SEEK_SET);
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    text.append(buffer, static_cast<size_t>(got));
  }
  ::close(fd);
  fd = -1;
  return text;
}

}  // namespace

size_t RunInProcesses(size_t count, int jobs, const std::function<bool(size_t)>& task,
                      const std::function<void(size_t, const TaskEnd&)>& finished, bool capture) {
  std::map<pid_t, Captured> running;
  size_t next = 0;
  size_t failures = 0;
  while (next < count || !running.empty()) {
    while (next < count && running.size() < static_cast<size_t>(jobs)) {
      // Buffered output must not be written twice, once by each process.
      std::fflush(stdout);
      std::fflush(stderr);
      Captured captured{next};
      if (capture) {
        captured.out = UnnamedFile();
        captured.err = UnnamedFile();
      }
      const pid_t child = ::fork();
      if (child == 0) {
        if (captured.out >= 0) ::dup2(captured.out, STDOUT_FILENO);
        if (captured.err >= 0) ::dup2(captured.err, STDERR_FILENO);
        const bool ok = task(next);
        std::fflush(stdout);
        std::fflush(stderr);
        ::_exit(ok ? 0 : 1);
      }
      if (child < 0) {
        TakeAll(captured.out);
        TakeAll(captured.err);
        // No process to be had: the task runs here, after the others.
        if (running.empty()) {
          const bool ok = task(next);
          if (!ok) ++failures;
          finished(next, TaskEnd{ok, 0, {}, {}});
          ++next;
        }
        break;
      }
      running.emplace(child, captured);
      ++next;
    }
    if (running.empty()) continue;
    int status = 0;
    const pid_t ended = ::waitpid(-1, &status, 0);
    if (ended < 0) {
      if (errno == EINTR) continue;
      std::fprintf(stderr, "calendo-convert: waiting for a child process: %s\n",
                   std::strerror(errno));
      return failures + running.size() + (count - next);
    }
    const auto found = running.find(ended);
    if (found == running.end()) continue;
    TaskEnd end;
    end.succeeded = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    end.signal_number = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    if (!end.succeeded) ++failures;
    const size_t index = found->second.index;
    end.out = TakeAll(found->second.out);
    end.err = TakeAll(found->second.err);
    running.erase(found);
    finished(index, end);
  }
  return failures;
}

}  // namespace calendo::tool
