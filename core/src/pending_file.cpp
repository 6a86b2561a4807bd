#include "calendo/pending_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <ctime>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <utility>

namespace calendo {
namespace {

std::atomic<PendingFileWatcher*> g_watcher{nullptr};

constexpr std::string_view kPartMark = ".part-";
constexpr std::size_t kSuffixLength = 6;
constexpr int kCreateTries = 100;

// The watcher's removals held off for the life of the object.
class WatcherHeld {
 public:
  explicit WatcherHeld(PendingFileWatcher* watcher) : watcher_(watcher) {
    if (watcher_ != nullptr) watcher_->hold();
  }
  ~WatcherHeld() {
    if (watcher_ != nullptr) watcher_->release();
  }
  WatcherHeld(const WatcherHeld&) = delete;
  WatcherHeld& operator=(const WatcherHeld&) = delete;

 private:
  PendingFileWatcher* watcher_;
};

// The longest name the folder takes.
std::size_t name_limit(const std::filesystem::path& folder) {
  const long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
  return limit > 0 ? static_cast<std::size_t>(limit) : NAME_MAX;
}

// ".NAME.part-", NAME cut where the whole name with its suffix would pass
// `limit` bytes; a cut never splits a UTF-8 sequence.
std::string temporary_prefix(const std::string& name, std::size_t limit) {
  const std::size_t fixed = 1 + kPartMark.size() + kSuffixLength;
  std::size_t keep = name.size();
  if (fixed + keep > limit) {
    keep = limit > fixed ? limit - fixed : 0;
    while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
  }
  return "." + name.substr(0, keep) + std::string(kPartMark);
}

// Six characters of the alphabet mkstemp(3) uses, random.
std::string unique_suffix() {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char bytes[kSuffixLength];
  if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
    // Without the kernel's randomness the clock and the process still differ
    // from try to try; O_EXCL keeps a repeat from taking a file.
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    uint64_t mix =
        static_cast<uint64_t>(now.tv_nsec) * 2654435761u ^ static_cast<uint64_t>(::getpid()) << 20;
    for (unsigned char& byte : bytes) {
      byte = static_cast<unsigned char>(mix);
      mix = mix >> 8 | mix << 56;
    }
  }
  std::string suffix;
  for (const unsigned char byte : bytes) suffix += kAlphabet[byte % (sizeof kAlphabet - 1)];
  return suffix;
}

Fault system_fault(Failure failure, std::string what) {
  const int error_number = errno;
  return Fault{failure, 0, std::move(what) + ": " + system_text(error_number), error_number};
}

}  // namespace

void set_pending_file_watcher(PendingFileWatcher* watcher) {
  g_watcher.store(watcher);
}

Result<PendingFile> PendingFile::create(const std::string& target) {
  const std::filesystem::path target_path(target);
  const std::filesystem::path folder =
      target_path.has_parent_path() ? target_path.parent_path() : ".";
  const std::string prefix =
      (folder / temporary_prefix(target_path.filename().string(), name_limit(folder))).string();
  PendingFileWatcher* watcher = g_watcher.load();
  const WatcherHeld held(watcher);
  for (int tries = 0;; ++tries) {
    std::string temp_path = prefix + unique_suffix();
    // Created with 0666 the file gets the umask's permissions, as any new file.
    Result<UniqueFd> fd = open_fd(temp_path.c_str(), O_RDWR | O_CREAT | O_EXCL, 0666);
    if (fd.ok()) {
      // Where the file system has no flock the file is simply never taken
      // for stale: lock failures are not fatal.
      (void)::flock(fd->get(), LOCK_EX | LOCK_NB);
      const int ticket = watcher != nullptr ? watcher->watch(temp_path.c_str()) : -1;
      return PendingFile(target, std::move(temp_path), std::move(*fd), watcher, ticket);
    }
    if (fd.fault().system_error != EEXIST || tries == kCreateTries) {
      return Fault{Failure::CannotCreate, 0,
                   "cannot create a file in " + folder.string() + ": " + fd.fault().message,
                   fd.fault().system_error};
    }
  }
}

std::size_t remove_stale_pending_files(const std::string& target) {
  const std::filesystem::path target_path(target);
  const std::filesystem::path folder =
      target_path.has_parent_path() ? target_path.parent_path() : ".";
  const std::string prefix = temporary_prefix(target_path.filename().string(), name_limit(folder));
  std::error_code error;
  std::filesystem::directory_iterator entries(folder, error);
  if (error) return 0;
  std::size_t removed = 0;
  for (const std::filesystem::directory_entry& entry : entries) {
    const std::string name = entry.path().filename().string();
    if (name.size() != prefix.size() + kSuffixLength || name.compare(0, prefix.size(), prefix) != 0)
      continue;
    const std::string path = entry.path().string();
    Result<UniqueFd> fd = open_fd(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK);
    if (!fd.ok()) continue;
    struct stat opened {
    }, named{};
    if (::fstat(fd->get(), &opened) != 0 || !S_ISREG(opened.st_mode)) continue;
    if (::flock(fd->get(), LOCK_EX | LOCK_NB) != 0) continue;  // a writer holds it
    // Only the very file that was found unheld goes, not one made since.
    if (::lstat(path.c_str(), &named) == 0 && named.st_ino == opened.st_ino &&
        named.st_dev == opened.st_dev && ::unlink(path.c_str()) == 0)
      ++removed;
  }
  return removed;
}

PendingFile::PendingFile(std::string target, std::string temp_path, UniqueFd fd,
                         PendingFileWatcher* watcher, int ticket)
    : target_(std::move(target)),
      temp_path_(std::move(temp_path)),
      fd_(std::move(fd)),
      watcher_(watcher),
      ticket_(ticket) {}

PendingFile::PendingFile(PendingFile&& other) noexcept
    : target_(std::move(other.target_)),
      temp_path_(std::exchange(other.temp_path_, {})),
      fd_(std::move(other.fd_)),
      watcher_(other.watcher_),
      ticket_(std::exchange(other.ticket_, -1)) {}

PendingFile::~PendingFile() {
  if (temp_path_.empty()) return;
  const WatcherHeld held(watcher_);
  ::unlink(temp_path_.c_str());
  forget();
}

Fault PendingFile::unflushed(const Fault& cause) const {
  return Fault{Failure::CannotWrite, 0, "cannot flush " + temp_path_ + ": " + cause.message,
               cause.system_error};
}

void PendingFile::forget() {
  if (watcher_ != nullptr && ticket_ >= 0) watcher_->forget(std::exchange(ticket_, -1));
  temp_path_.clear();
}

Status PendingFile::commit(bool replace) {
  {
    // The name is flushed, not the descriptor: a library may have put a new
    // file there.
    Result<UniqueFd> flushed = open_fd(temp_path_.c_str(), O_RDONLY);
    if (!flushed.ok()) return unflushed(flushed.fault());
    if (::fsync(flushed->get()) != 0)
      return system_fault(Failure::CannotWrite, "cannot flush " + temp_path_);
  }
  if (const Status closed = fd_.close(); !closed.ok()) return unflushed(closed.fault());

  const WatcherHeld held(watcher_);
  int renamed = 0;
  if (replace) {
    renamed = ::rename(temp_path_.c_str(), target_.c_str());
  } else {
    renamed =
        ::renameat2(AT_FDCWD, temp_path_.c_str(), AT_FDCWD, target_.c_str(), RENAME_NOREPLACE);
    if (renamed != 0 && (errno == EINVAL || errno == ENOSYS)) {
      // A file system without the no-replace rename: a hard link refuses an
      // existing name just as well.
      renamed = ::link(temp_path_.c_str(), target_.c_str());
      if (renamed == 0) ::unlink(temp_path_.c_str());
    }
  }
  if (renamed != 0) {
    if (errno == EEXIST) return Fault{Failure::Exists, 0, target_ + " exists", EEXIST};
    return system_fault(Failure::CannotCreate, "cannot name " + target_);
  }
  forget();
  return {};
}

bool name_taken(const std::string& path) {
  std::error_code error;
  const auto status = std::filesystem::symlink_status(path, error);
  if (error) return error != std::errc::no_such_file_or_directory;
  return std::filesystem::exists(status);
}

}  // namespace calendo
