// The per-user directory and the entries of the windows in it.
//
// Each window has two files named after its handle in eight hex digits:
// "<handle>.window", its entry, and "<handle>.sock", its socket. An entry is
// one line "calendo-window 1 PID START STAMP" followed by the title bytes to
// the end of the file: PID and START (the process's start time in clock ticks
// since boot) tell whether the owner still runs, STAMP (monotonic
// nanoseconds of the last activation) orders the windows, newest on top.
// Entries are replaced whole through a temporary file and a rename, and every
// change to the directory happens under the registry lock.
#pragma once

#include "calendo/fault.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::desktop_registry {

inline constexpr std::size_t kMaxTitle = 0xFFFF;

struct Entry {
  uint32_t handle = 0;  // from the file name, not stored in the file
  int64_t pid = 0;
  uint64_t start_time = 0;  // 0 when unknown
  uint64_t stamp = 0;
  std::string title;
};

// Validates (and creates) the per-user directory; a Fault that says why it is
// refused.
calendo::Result<std::string> directory();

std::string entry_path(const std::string& dir, uint32_t handle);
std::string socket_path(const std::string& dir, uint32_t handle);

std::string encode_entry(const Entry& entry);
// Parses the bytes of an entry file; false for anything malformed.
bool parse_entry(std::string_view bytes, Entry& entry);

// The exclusive lock over changes to the directory, held for its scope.
class RegistryLock {
 public:
  explicit RegistryLock(const std::string& dir);
  ~RegistryLock();
  RegistryLock(const RegistryLock&) = delete;
  RegistryLock& operator=(const RegistryLock&) = delete;
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// Writes the entry whole. REQUIRES: the registry lock is held.
bool write_entry(const std::string& dir, const Entry& entry);
std::optional<Entry> read_entry(const std::string& dir, uint32_t handle);

// Removes the window's files. REQUIRES: the registry lock is held.
void remove_window_files(const std::string& dir, uint32_t handle);

// Removes sockets without an entry and leftover temporary files.
// REQUIRES: the registry lock is held.
void sweep_orphans(const std::string& dir);

// The entries of live windows, topmost first. Entries of dead processes are
// removed on the way.
std::vector<Entry> live_entries(const std::string& dir);

// Whether the process that wrote an entry still runs (a zombie does not).
bool owner_alive(const Entry& entry);

// This process's start time in clock ticks since boot, 0 when unknown.
uint64_t own_start_time();

// A stamp later than every one taken before on this machine since boot.
uint64_t now_stamp();

}  // namespace platform::desktop_registry
