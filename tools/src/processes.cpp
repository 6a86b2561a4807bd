#include "processes.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>

namespace calendo::tool {

size_t RunInProcesses(size_t count, int jobs, const std::function<bool(size_t)>& task,
                      const std::function<void(size_t, const TaskEnd&)>& finished) {
  std::map<pid_t, size_t> running;
  size_t next = 0;
  size_t failures = 0;
  while (next < count || !running.empty()) {
    while (next < count && running.size() < static_cast<size_t>(jobs)) {
      // Buffered output must not be written twice, once by each process.
      std::fflush(stdout);
      std::fflush(stderr);
      const pid_t child = ::fork();
      if (child == 0) {
        const bool ok = task(next);
        std::fflush(stdout);
        std::fflush(stderr);
        ::_exit(ok ? 0 : 1);
      }
      if (child < 0) {
        // No process to be had: the task runs here, after the others.
        if (running.empty()) {
          const bool ok = task(next);
          if (!ok) ++failures;
          finished(next, TaskEnd{ok, 0});
          ++next;
        }
        break;
      }
      running.emplace(child, next++);
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
    const size_t index = found->second;
    running.erase(found);
    finished(index, end);
  }
  return failures;
}

}  // namespace calendo::tool
