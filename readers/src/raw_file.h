// A file opened for reading raw bytes, closed when the object goes away.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace readers {

class RawFile {
 public:
  // Opens `path` for reading. nullopt when it cannot be opened or names a
  // directory. Opening never waits for a writer (a FIFO opens at once).
  static std::optional<RawFile> open(const char* path);

  RawFile(RawFile&& other) noexcept;
  RawFile& operator=(RawFile&&) = delete;
  RawFile(const RawFile&) = delete;
  RawFile& operator=(const RawFile&) = delete;
  ~RawFile();

  // Moves to `offset` bytes from the start; false for a negative offset or
  // a file that cannot seek. An offset beyond the end is allowed.
  bool seek(int64_t offset);

  // Reads until `size` bytes are in or the file ends. Returns the count read,
  // or nullopt when the system reports a read error.
  std::optional<std::size_t> read(void* into, std::size_t size);

 private:
  explicit RawFile(int fd) : fd_(fd) {}
  int fd_;
};

}  // namespace readers
