// Files as the exports use them: opened and closed within one call, through
// plain descriptors (no stdio buffers, so nothing is allocated).
#pragma once

#include <cstddef>
#include <cstdint>

namespace tesmor {

class File {
 public:
  static File open_read(const char* path);
  static File create(const char* path);  // truncates an existing file
  static File append(const char* path);  // creates a missing file

  File(File&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  File& operator=(File&&) = delete;
  ~File();

  bool is_open() const { return fd_ >= 0; }

  // Reads until `bytes` are in or the file ends; returns the bytes read.
  std::size_t read_up_to(void* buffer, std::size_t bytes);
  // Moves the read position to `offset` from the start (past the end is fine).
  bool seek(int64_t offset);
  // Writes every byte or reports failure.
  bool write_all(const void* buffer, std::size_t bytes);
  // Closes the file; false when the close reports an error (data not stored).
  bool close();

 private:
  explicit File(int fd) : fd_(fd) {}
  int fd_;
};

}  // namespace tesmor
