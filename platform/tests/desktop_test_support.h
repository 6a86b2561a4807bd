// Shared pieces of the desktop tests: a scratch per-user directory and a real
// second process that owns a window (the desktop_peer program).
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktop.h"
#include "testing/temp_dir.h"

namespace desktop_test {

// Points the desktop at a fresh 0700 folder for the life of the object.
class ScratchDesktop {
 public:
  ScratchDesktop() : path_(folder_.path().string()) {
    if (const char* old = std::getenv("CALENDO_DESKTOP_DIR")) previous_ = old;
    ::setenv("CALENDO_DESKTOP_DIR", path_.c_str(), 1);
  }
  ~ScratchDesktop() {
    if (previous_) {
      ::setenv("CALENDO_DESKTOP_DIR", previous_->c_str(), 1);
    } else {
      ::unsetenv("CALENDO_DESKTOP_DIR");
    }
  }
  ScratchDesktop(const ScratchDesktop&) = delete;
  ScratchDesktop& operator=(const ScratchDesktop&) = delete;

  const std::string& path() const { return path_; }
  bool has(const std::string& name) const {
    return std::filesystem::exists(std::filesystem::path(path_) / name);
  }

 private:
  testkit::TempDir folder_;  // 0700, as mkdtemp makes it
  std::string path_;
  std::optional<std::string> previous_;
};

inline std::string handle_name(platform::DesktopWindow window) {
  char text[9];
  std::snprintf(text, sizeof text, "%08x", window);
  return text;
}

// The desktop_peer program, found beside the running test program.
inline std::string peer_program() {
  std::error_code error;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
  return (self.parent_path() / "desktop_peer").string();
}

// A desktop_peer process with its standard input and output on pipes.
class Peer {
 public:
  explicit Peer(const std::vector<std::string>& args, const std::string& program = peer_program()) {
    int to_child[2];
    int from_child[2];
    if (::pipe2(to_child, O_CLOEXEC) != 0 || ::pipe2(from_child, O_CLOEXEC) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(to_child[0], 0);
      ::dup2(from_child[1], 1);
      std::vector<char*> argv;
      argv.push_back(const_cast<char*>(program.c_str()));
      for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
      argv.push_back(nullptr);
      ::execv(program.c_str(), argv.data());
      ::_exit(127);
    }
    ::close(to_child[0]);
    ::close(from_child[1]);
    in_ = to_child[1];
    out_ = from_child[0];
    const std::optional<std::string> ready = read_line(10000);
    if (ready && ready->rfind("ready ", 0) == 0) {
      window_ = static_cast<platform::DesktopWindow>(std::stoul(ready->substr(6), nullptr, 16));
    }
  }
  ~Peer() {
    if (in_ >= 0) ::close(in_);
    if (pid_ > 0 && !reaped_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) ::close(out_);
  }
  Peer(const Peer&) = delete;
  Peer& operator=(const Peer&) = delete;

  platform::DesktopWindow window() const { return window_; }
  pid_t pid() const { return pid_; }

  // The next line of output, waiting up to `timeout_ms`.
  std::optional<std::string> read_line(int timeout_ms) {
    for (;;) {
      const std::size_t end = buffer_.find('\n');
      if (end != std::string::npos) {
        std::string line = buffer_.substr(0, end);
        buffer_.erase(0, end + 1);
        return line;
      }
      pollfd item{out_, POLLIN, 0};
      if (::poll(&item, 1, timeout_ms) <= 0) return std::nullopt;
      char chunk[512];
      const ssize_t got = ::read(out_, chunk, sizeof chunk);
      if (got <= 0) return std::nullopt;
      buffer_.append(chunk, static_cast<std::size_t>(got));
    }
  }

  // Sends one command line and returns the answer.
  std::optional<std::string> command(const std::string& line) {
    const std::string text = line + "\n";
    if (::write(in_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
      return std::nullopt;
    }
    return read_line(10000);
  }

  // Kills the process and reaps it, so that it is gone, not a zombie.
  void kill_now() {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    reaped_ = true;
  }

 private:
  pid_t pid_ = -1;
  int in_ = -1;
  int out_ = -1;
  bool reaped_ = false;
  std::string buffer_;
  platform::DesktopWindow window_ = 0;
};

// "copy FIRST HEX" as desktop_peer prints it.
inline std::string copy_line(uint32_t first, std::string_view text) {
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : text) {
    hex += digits[c >> 4];
    hex += digits[c & 15];
  }
  return "copy " + std::to_string(first) + " " + (hex.empty() ? "-" : hex);
}

}  // namespace desktop_test
