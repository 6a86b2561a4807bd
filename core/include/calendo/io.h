// The project's one layer over file descriptors: an owning descriptor, and
// reads and writes that carry on after interrupted calls and short transfers
// (and the wait for a child process, which carries on likewise).
// Failures come back as Faults whose message is the system's own text; the
// caller adds which file it was. Nothing here keeps state beyond the objects
// it returns: any thread, one thread per descriptor at a time (positional
// reads may share one).
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>

#include "calendo/fault.h"

namespace calendo {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) reset(std::exchange(other.fd_, -1));
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { reset(); }

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int release() { return std::exchange(fd_, -1); }
  void reset(int fd = -1);
  // Closes now; a Fault when the close reports an error (written data lost).
  Status close();

 private:
  int fd_ = -1;
};

// The system's text for an errno value ("No such file or directory").
std::string system_text(int error_number);

// open(2) with O_CLOEXEC added; a refusal is CannotOpen (or CannotCreate with
// O_CREAT) with the system's text.
Result<UniqueFd> open_fd(const char* path, int flags, mode_t mode = 0666);

// Reads until `out` is full or the file ends; returns the bytes read.
Result<std::size_t> read_full(int fd, std::span<uint8_t> out);
// The same from `offset` on, without moving the file position.
Result<std::size_t> read_full_at(int fd, uint64_t offset, std::span<uint8_t> out);

// The same where an error counts as the end: the bytes read before it.
std::size_t read_up_to(int fd, std::span<uint8_t> out);
std::size_t read_up_to_at(int fd, uint64_t offset, std::span<uint8_t> out);

// Writes every byte, or fails (CannotWrite) with the system's text.
Status write_all(int fd, std::span<const uint8_t> bytes);
Status write_all_at(int fd, uint64_t offset, std::span<const uint8_t> bytes);

// A child process that ended, and its status as waitpid(2) gives it.
struct ChildEnd {
  pid_t pid = -1;
  int status = 0;
};
// Waits for the child `pid` (-1: any child) to end; a refusal (no such
// child) is CannotRead with the system's text.
Result<ChildEnd> wait_for_child(pid_t pid);

}  // namespace calendo
