// Player processes for the hand-off tests: the real calendo program, started
// headless on a desktop of its own, and waited for while this process keeps
// serving its own windows.
#pragma once

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "testing/temp_dir.h"

extern char** environ;

namespace calendo::testing {

// The test program's desktop: a scratch directory of its own, so that neither
// its windows nor the players it starts ever meet a player of the user (or of
// another test program running at the same time). Set before any test runs and
// inherited by every child process.
inline const std::string& ScratchDesktopDirectory() {
  // The name is never destroyed: the clean-up at exit still reads it. The
  // folder goes with its files at exit.
  static const std::string* directory = [] {
    static const testkit::TempDir* folder = new testkit::TempDir;
    std::atexit([] { delete folder; });
    setenv("CALENDO_DESKTOP_DIR", folder->path().c_str(), 1);
    return new std::string(folder->path().string());
  }();
  return *directory;
}

// Starts `program` with `arguments`, headless, with no sound, on the scratch
// desktop, in the folder `working_dir` (empty: this one). Returns the process
// id, 0 on failure.
inline pid_t StartPlayer(const std::string& program, const std::vector<std::string>& arguments,
                         const std::vector<std::string>& extra_env = {},
                         const std::string& working_dir = {}) {
  ScratchDesktopDirectory();
  // The program finds its libraries through its RUNPATH; a sanitizer runtime
  // that intercepts dlopen hides that, so the folder is named outright.
  // `extra_env` comes first and replaces a default or inherited variable of
  // the same name (a process sees only the first entry of a name).
  std::vector<std::string> env_strings = extra_env;
  auto named_in = [](const std::vector<std::string>& list, const std::string& entry) {
    const std::string name = entry.substr(0, entry.find('=') + 1);
    for (const std::string& e : list) {
      if (e.rfind(name, 0) == 0) return true;
    }
    return false;
  };
  for (const std::string entry :
       {"QT_QPA_PLATFORM=offscreen", "CALENDO_AUDIO=null", "LD_LIBRARY_PATH=" CALENDO_LIB_DIR}) {
    if (!named_in(extra_env, entry)) env_strings.push_back(entry);
  }
  std::vector<char*> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    if (entry.rfind("QT_QPA_PLATFORM=", 0) == 0 || entry.rfind("CALENDO_AUDIO", 0) == 0 ||
        entry.rfind("LD_LIBRARY_PATH=", 0) == 0 || named_in(extra_env, entry)) {
      continue;
    }
    env.push_back(*e);
  }
  for (std::string& e : env_strings) env.push_back(e.data());
  env.push_back(nullptr);

  std::vector<std::string> args = {program};
  args.insert(args.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!working_dir.empty()) posix_spawn_file_actions_addchdir_np(&actions, working_dir.c_str());
  pid_t pid = 0;
  const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), env.data());
  posix_spawn_file_actions_destroy(&actions);
  return failed != 0 ? 0 : pid;
}

// Waits for `pid` to end, calling `serve` meanwhile (it should wait a few
// milliseconds for its own events). Returns the exit code, or nothing when the
// process had to be killed after `timeout` or died by a signal.
inline std::optional<int> WaitForPlayer(pid_t pid, std::chrono::milliseconds timeout,
                                        const std::function<void()>& serve) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (true) {
    int status = 0;
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) {
      if (WIFEXITED(status)) return WEXITSTATUS(status);
      return std::nullopt;
    }
    if (done < 0) return std::nullopt;
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return std::nullopt;
    }
    serve();
  }
}

// Serves until `done` holds or `timeout` passes; returns `done()`.
inline bool ServeUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout,
                       const std::function<void()>& serve) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    serve();
  }
  return true;
}

// Ends a player that was not meant to end by itself.
inline void KillPlayer(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
}

}  // namespace calendo::testing
