#include "processes.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <span>
#include <system_error>
#include <utility>

#include "calendo/io.h"

namespace calendo::tool {
namespace {

// Where a child's output goes with capture.
struct Captured {
  size_t index = 0;
  UniqueFd out;
  UniqueFd err;
};

// A file in the temporary folder that no name reaches; none when it cannot
// be made (the child then writes to this process's own output).
UniqueFd UnnamedFile() {
  std::error_code error;
  const std::filesystem::path folder = std::filesystem::temp_directory_path(error);
  if (error) return {};
  std::string name = (folder / "calendo-convert-XXXXXX").string();
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd >= 0) ::unlink(name.c_str());
  return UniqueFd(fd);
}

std::string TakeAll(UniqueFd& fd) {
  std::string text;
  struct stat info {};
  if (fd.valid() && ::fstat(fd.get(), &info) == 0 && info.st_size > 0) {
    text.resize(static_cast<size_t>(info.st_size));
    const std::span bytes(reinterpret_cast<uint8_t*>(text.data()), text.size());
    text.resize(read_up_to_at(fd.get(), 0, bytes));
  }
  fd.reset();
  return text;
}

// Waits for any child; with hooks, a tenth of a second at a time, running
// them in between, and sending the stop signal once to the children.
Result<ChildEnd> WaitForAChild(const ProcessHooks* hooks, const std::map<pid_t, Captured>& running,
                               bool& stop_sent) {
  if (hooks == nullptr) return wait_for_child(-1);
  for (;;) {
    if (hooks->stop != nullptr && *hooks->stop != 0 && !stop_sent) {
      // A terminal's Ctrl+C reaches them too; a signal to this process alone does not.
      for (const auto& [pid, captured] : running) ::kill(pid, *hooks->stop);
      stop_sent = true;
    }
    int status = 0;
    const pid_t pid = ::waitpid(-1, &status, WNOHANG);
    if (pid > 0) return ChildEnd{pid, status};
    if (pid < 0 && errno != EINTR) {
      const int error_number = errno;
      return Fault{Failure::CannotRead, 0, system_text(error_number), error_number};
    }
    if (hooks->tick) hooks->tick();
    ::usleep(100 * 1000);
  }
}

}  // namespace

Result<size_t> RunInProcesses(size_t count, int jobs, const std::function<bool(size_t)>& task,
                              const std::function<void(size_t, const TaskEnd&)>& finished,
                              bool capture, const ProcessHooks* hooks) {
  bool stop_sent = false;
  auto stopping = [&] { return hooks != nullptr && hooks->stop != nullptr && *hooks->stop != 0; };
  // A SIGCHLD ignored by whoever started the program (it is inherited through
  // exec) would have the system take the children away before they could be
  // waited for.
  std::signal(SIGCHLD, SIG_DFL);
  std::map<pid_t, Captured> running;
  size_t next = 0;
  size_t failures = 0;
  while ((next < count && !stopping()) || !running.empty()) {
    while (next < count && running.size() < static_cast<size_t>(jobs) && !stopping()) {
      // Buffered output must not be written twice, once by each process.
      std::fflush(stdout);
      std::fflush(stderr);
      Captured captured{next, {}, {}};
      if (capture) {
        captured.out = UnnamedFile();
        captured.err = UnnamedFile();
      }
      const pid_t parent = ::getpid();
      const pid_t child = ::fork();
      if (child == 0) {
        // A child ends with this process however it ends (even SIGKILL), and
        // takes its pending file with it; a parent already gone is seen at once.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent) ::_exit(1);
        if (captured.out.valid()) ::dup2(captured.out.get(), STDOUT_FILENO);
        if (captured.err.valid()) ::dup2(captured.err.get(), STDERR_FILENO);
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
          finished(next, TaskEnd{ok, 0, {}, {}});
          ++next;
        }
        break;
      }
      running.emplace(child, std::move(captured));
      ++next;
    }
    if (running.empty()) continue;
    const Result<ChildEnd> ended = WaitForAChild(hooks, running, stop_sent);
    if (!ended.ok()) {
      return Fault{ended.fault().failure, 0,
                   "waiting for a child process: " + ended.fault().message,
                   ended.fault().system_error};
    }
    const auto found = running.find(ended->pid);
    if (found == running.end()) continue;
    const int status = ended->status;
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
