#include "desktop_registry.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "desktop_fd.h"

namespace platform::desktop_registry {
namespace {

constexpr std::string_view kEntryMagic = "calendo-window 1";
constexpr std::string_view kEntrySuffix = ".window";
constexpr std::string_view kSocketSuffix = ".sock";
constexpr std::string_view kTempSuffix = ".tmp";
constexpr std::size_t kMaxEntryHeader = 128;
// The longest file name in the directory, "xxxxxxxx.window.tmp", and the
// socket names must fit in sockaddr_un::sun_path.
constexpr std::size_t kLongestSocketName = 1 + 8 + 5;

std::string hex_handle(uint32_t handle) {
  char text[9];
  std::snprintf(text, sizeof text, "%08x", handle);
  return text;
}

// The handle a directory entry name stands for, with the suffix after it.
bool split_name(std::string_view name, uint32_t& handle, std::string_view& suffix) {
  if (name.size() < 9) return false;
  for (std::size_t i = 0; i < 8; ++i) {
    const char c = name[i];
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  uint32_t value = 0;
  std::from_chars(name.data(), name.data() + 8, value, 16);
  if (value == 0) return false;
  handle = value;
  suffix = name.substr(8);
  return true;
}

std::vector<std::string> list_names(const std::string& dir) {
  std::vector<std::string> names;
  DIR* stream = ::opendir(dir.c_str());
  if (stream == nullptr) return names;
  while (dirent* item = ::readdir(stream)) names.emplace_back(item->d_name);
  ::closedir(stream);
  return names;
}

calendo::Fault refuse(std::string message, int error_number = 0) {
  return {calendo::Failure::CannotOpen, 0, std::move(message), error_number};
}

calendo::Status check_directory(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return refuse(path + ": " + std::strerror(errno), errno);
  if (S_ISLNK(info.st_mode)) return refuse(path + ": is a symbolic link");
  if (!S_ISDIR(info.st_mode)) return refuse(path + ": is not a directory");
  if (info.st_uid != ::geteuid()) return refuse(path + ": owned by another user");
  if ((info.st_mode & 077) != 0) return refuse(path + ": open to other users (mode must be 0700)");
  return {};
}

bool is_directory(const char* path) {
  struct stat info {};
  return path != nullptr && path[0] == '/' && ::stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

bool parse_decimal(std::string_view text, uint64_t& value) {
  if (text.empty() || text.size() > 20) return false;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 10);
  return ec == std::errc() && end == text.data() + text.size();
}

struct ProcessStat {
  char state = 0;
  uint64_t start_time = 0;
};

// Field 3 (state) and field 22 (start time) of /proc/PID/stat; the command
// name in field 2 may hold spaces and parentheses, so fields count from the
// last ')'.
std::optional<ProcessStat> read_process_stat(int64_t pid) {
  char path[48];
  std::snprintf(path, sizeof path, "/proc/%lld/stat", static_cast<long long>(pid));
  UniqueFd fd(::open(path, O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return std::nullopt;
  char buffer[1024];
  const ssize_t got = ::read(fd.get(), buffer, sizeof buffer - 1);
  if (got <= 0) return std::nullopt;
  std::string_view text(buffer, static_cast<std::size_t>(got));
  const std::size_t close = text.rfind(')');
  if (close == std::string_view::npos) return std::nullopt;
  text.remove_prefix(close + 1);
  ProcessStat stat;
  int field = 2;
  while (!text.empty()) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    const std::size_t end = std::min(text.find(' '), text.size());
    const std::string_view token = text.substr(0, end);
    text.remove_prefix(end);
    if (token.empty()) break;
    ++field;
    if (field == 3) stat.state = token.front();
    if (field == 22) {
      if (!parse_decimal(token, stat.start_time)) return std::nullopt;
      return stat;
    }
  }
  return std::nullopt;
}

}  // namespace

calendo::Result<std::string> directory() {
  std::string path;
  if (const char* chosen = std::getenv("CALENDO_DESKTOP_DIR"); chosen != nullptr && *chosen) {
    path = chosen;
  } else if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); is_directory(runtime)) {
    path = std::string(runtime) + "/calendo";
  } else {
    path = "/tmp/calendo-" + std::to_string(::geteuid());
  }
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  if (path.size() + kLongestSocketName >= sizeof(sockaddr_un::sun_path))
    return refuse(path + ": too long for a socket name");
  if (::mkdir(path.c_str(), 0700) == 0) {
    // The umask may have taken bits away; give the owner exactly rwx.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (fd.valid()) ::fchmod(fd.get(), 0700);
  } else if (errno != EEXIST) {
    return refuse(path + ": " + std::strerror(errno), errno);
  }
  if (const calendo::Status checked = check_directory(path); !checked.ok()) return checked.fault();
  return path;
}

std::string entry_path(const std::string& dir, uint32_t handle) {
  return dir + "/" + hex_handle(handle) + std::string(kEntrySuffix);
}

std::string socket_path(const std::string& dir, uint32_t handle) {
  return dir + "/" + hex_handle(handle) + std::string(kSocketSuffix);
}

std::string encode_entry(const Entry& entry) {
  std::string bytes(kEntryMagic);
  bytes += ' ' + std::to_string(entry.pid) + ' ' + std::to_string(entry.start_time) + ' ' +
           std::to_string(entry.stamp) + '\n';
  bytes += entry.title;
  return bytes;
}

bool parse_entry(std::string_view bytes, Entry& entry) {
  const std::size_t line_end = bytes.substr(0, kMaxEntryHeader).find('\n');
  if (line_end == std::string_view::npos) return false;
  std::string_view line = bytes.substr(0, line_end);
  if (line.substr(0, kEntryMagic.size()) != kEntryMagic) return false;
  line.remove_prefix(kEntryMagic.size());
  uint64_t numbers[3];
  for (uint64_t& number : numbers) {
    if (line.empty() || line.front() != ' ') return false;
    line.remove_prefix(1);
    const std::size_t end = std::min(line.find(' '), line.size());
    if (!parse_decimal(line.substr(0, end), number)) return false;
    line.remove_prefix(end);
  }
  if (!line.empty()) return false;
  const std::string_view title = bytes.substr(line_end + 1);
  if (title.size() > kMaxTitle || title.find('\0') != std::string_view::npos) return false;
  if (numbers[0] == 0 || numbers[0] > static_cast<uint64_t>(INT32_MAX)) return false;
  entry.pid = static_cast<int64_t>(numbers[0]);
  entry.start_time = numbers[1];
  entry.stamp = numbers[2];
  entry.title.assign(title);
  return true;
}

RegistryLock::RegistryLock(const std::string& dir) {
  const std::string path = dir + "/registry.lock";
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd_ < 0) return;
  while (::flock(fd_, LOCK_EX) != 0) {
    if (errno == EINTR) continue;
    ::close(fd_);
    fd_ = -1;
    return;
  }
}

RegistryLock::~RegistryLock() {
  if (fd_ >= 0) ::close(fd_);
}

bool write_entry(const std::string& dir, const Entry& entry) {
  const std::string path = entry_path(dir, entry.handle);
  const std::string temp = path + std::string(kTempSuffix);
  const std::string bytes = encode_entry(entry);
  UniqueFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!fd.valid()) return false;
  const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
  if (!calendo::write_all(fd.get(), {data, bytes.size()}).ok() || !fd.close().ok()) {
    ::unlink(temp.c_str());
    return false;
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}

std::optional<Entry> read_entry(const std::string& dir, uint32_t handle) {
  if (handle == 0) return std::nullopt;
  UniqueFd fd(::open(entry_path(dir, handle).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (!fd.valid()) return std::nullopt;
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  const std::size_t limit = kMaxEntryHeader + kMaxTitle;
  if (info.st_size < 0 || static_cast<std::size_t>(info.st_size) > limit) return std::nullopt;
  std::string bytes(static_cast<std::size_t>(info.st_size), '\0');
  bytes.resize(
      calendo::read_up_to(fd.get(), {reinterpret_cast<uint8_t*>(bytes.data()), bytes.size()}));
  Entry entry;
  if (!parse_entry(bytes, entry)) return std::nullopt;
  entry.handle = handle;
  return entry;
}

void remove_window_files(const std::string& dir, uint32_t handle) {
  ::unlink(entry_path(dir, handle).c_str());
  ::unlink(socket_path(dir, handle).c_str());
}

void sweep_orphans(const std::string& dir) {
  const std::vector<std::string> names = list_names(dir);
  for (const std::string& name : names) {
    uint32_t handle = 0;
    std::string_view suffix;
    if (!split_name(name, handle, suffix)) continue;
    const bool temp = suffix.size() > kTempSuffix.size() &&
                      suffix.substr(suffix.size() - kTempSuffix.size()) == kTempSuffix;
    const bool lone_socket =
        suffix == kSocketSuffix &&
        std::find(names.begin(), names.end(), hex_handle(handle) + std::string(kEntrySuffix)) ==
            names.end();
    if (temp || lone_socket) ::unlink((dir + "/" + name).c_str());
  }
}

std::vector<Entry> live_entries(const std::string& dir) {
  std::vector<Entry> live;
  std::vector<uint32_t> stale;
  for (const std::string& name : list_names(dir)) {
    uint32_t handle = 0;
    std::string_view suffix;
    if (!split_name(name, handle, suffix) || suffix != kEntrySuffix) continue;
    std::optional<Entry> entry = read_entry(dir, handle);
    if (!entry) continue;  // unreadable or being replaced: not a window now
    if (owner_alive(*entry)) {
      live.push_back(std::move(*entry));
    } else {
      stale.push_back(handle);
    }
  }
  if (!stale.empty()) {
    RegistryLock lock(dir);
    if (lock.held()) {
      for (uint32_t handle : stale) {
        // Look again under the lock: the handle may have been taken anew.
        std::optional<Entry> entry = read_entry(dir, handle);
        if (entry && !owner_alive(*entry)) remove_window_files(dir, handle);
      }
    }
  }
  std::sort(live.begin(), live.end(), [](const Entry& a, const Entry& b) {
    return a.stamp != b.stamp ? a.stamp > b.stamp : a.handle < b.handle;
  });
  return live;
}

bool owner_alive(const Entry& entry) {
  if (entry.pid <= 0 || entry.pid > INT32_MAX) return false;
  if (::kill(static_cast<pid_t>(entry.pid), 0) != 0 && errno == ESRCH) return false;
  const std::optional<ProcessStat> stat = read_process_stat(entry.pid);
  if (!stat) return entry.start_time == 0;
  if (stat->state == 'Z' || stat->state == 'X') return false;
  // Another process that was given the same id later.
  return entry.start_time == 0 || stat->start_time == entry.start_time;
}

uint64_t own_start_time() {
  const std::optional<ProcessStat> stat = read_process_stat(::getpid());
  return stat ? stat->start_time : 0;
}

uint64_t now_stamp() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000000000u + static_cast<uint64_t>(now.tv_nsec);
}

}  // namespace platform::desktop_registry
