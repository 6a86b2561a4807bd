#include "pending_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

namespace calendo::tool {
namespace {

// The temporary files a signal must remove (an encoding has two at once:
// the recorder file and the WAV file it is made from): copies of their names
// that the handler can read without allocating.
constexpr int kSignalSlots = 2;
char g_signal_paths[kSignalSlots][4096];
volatile std::sig_atomic_t g_signal_path_set[kSignalSlots] = {};

// Returns the slot that now holds `path`, or -1 when none could.
int Arm(const std::string& path) {
  if (path.size() >= sizeof g_signal_paths[0]) return -1;
  for (int slot = 0; slot < kSignalSlots; ++slot) {
    if (g_signal_path_set[slot]) continue;
    std::memcpy(g_signal_paths[slot], path.c_str(), path.size() + 1);
    g_signal_path_set[slot] = 1;
    return slot;
  }
  return -1;
}

void Disarm(int slot) {
  if (slot >= 0) g_signal_path_set[slot] = 0;
}

extern "C" void RemoveAndDie(int signal_number) {
  for (int slot = 0; slot < kSignalSlots; ++slot) {
    if (g_signal_path_set[slot]) ::unlink(g_signal_paths[slot]);
  }
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}

// Holds off the signals that remove pending files while the name that the
// handler would remove is being changed.
class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t held;
    sigemptyset(&held);
    for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&held, signal_number);
    ::sigprocmask(SIG_BLOCK, &held, &previous_);
  }
  ~SignalsHeld() { ::sigprocmask(SIG_SETMASK, &previous_, nullptr); }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t previous_{};
};

mode_t CurrentUmask() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

}  // namespace

std::optional<PendingFile> PendingFile::Create(const std::string& final_path, std::string& error) {
  const std::filesystem::path target(final_path);
  const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
  std::string pattern = (folder / ("." + target.filename().string() + ".part-XXXXXX")).string();
  const SignalsHeld held;
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) {
    error = std::string("cannot create a file in ") + folder.string() + ": " + std::strerror(errno);
    return std::nullopt;
  }
  // mkstemp makes the file private; the result gets the usual permissions.
  ::fchmod(fd, 0666 & ~CurrentUmask());
  ::close(fd);
  return PendingFile(final_path, pattern, Arm(pattern));
}

PendingFile::PendingFile(std::string final_path, std::string temp_path, int signal_slot)
    : final_path_(std::move(final_path)),
      temp_path_(std::move(temp_path)),
      signal_slot_(signal_slot) {}

PendingFile::PendingFile(PendingFile&& other) noexcept
    : final_path_(std::move(other.final_path_)),
      temp_path_(std::exchange(other.temp_path_, {})),
      signal_slot_(std::exchange(other.signal_slot_, -1)) {}

PendingFile::~PendingFile() {
  Discard();
}

void PendingFile::Discard() {
  if (temp_path_.empty()) return;
  const SignalsHeld held;
  Disarm(std::exchange(signal_slot_, -1));
  ::unlink(temp_path_.c_str());
  temp_path_.clear();
}

bool PendingFile::Commit(bool replace, std::string& error) {
  const int fd = ::open(temp_path_.c_str(), O_RDONLY);
  if (fd < 0 || ::fsync(fd) != 0) {
    error = std::string("cannot flush ") + temp_path_ + ": " + std::strerror(errno);
    if (fd >= 0) ::close(fd);
    return false;
  }
  ::close(fd);

  const SignalsHeld held;
  int result = 0;
  if (replace) {
    result = ::rename(temp_path_.c_str(), final_path_.c_str());
  } else {
    result =
        ::renameat2(AT_FDCWD, temp_path_.c_str(), AT_FDCWD, final_path_.c_str(), RENAME_NOREPLACE);
    if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
      // A file system without the no-replace rename: a hard link refuses an
      // existing name just as well.
      result = ::link(temp_path_.c_str(), final_path_.c_str());
      if (result == 0) ::unlink(temp_path_.c_str());
    }
  }
  if (result != 0) {
    error = errno == EEXIST ? final_path_ + " exists (--force replaces it)"
                            : "cannot name " + final_path_ + ": " + std::strerror(errno);
    return false;
  }
  Disarm(std::exchange(signal_slot_, -1));
  temp_path_.clear();
  return true;
}

bool NameTaken(const std::string& path) {
  std::error_code error;
  const auto status = std::filesystem::symlink_status(path, error);
  if (error) return error != std::errc::no_such_file_or_directory;
  return std::filesystem::exists(status);
}

void RemovePendingFilesOnSignals() {
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP})
    std::signal(signal_number, RemoveAndDie);
  // Past a file-size limit (ulimit -f) a write then fails with EFBIG, which
  // is reported and cleaned up like a full disk, instead of the signal
  // ending the process with the pending file left behind.
  std::signal(SIGXFSZ, SIG_IGN);
}

}  // namespace calendo::tool
