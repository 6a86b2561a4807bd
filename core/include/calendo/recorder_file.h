// A file opened read-only for the length of one call (a recorder file, or a
// WAV file read at fixed offsets). Reads never fail: bytes past the end (or
// that the system cannot read) come back as 0xFF. The object owns its
// descriptor; reads use pread, so one object may be read from any thread.
#pragma once

#include <cstdint>
#include <span>

#include "calendo/result.h"

namespace calendo {

class RecorderFile {
 public:
  // Refuses (CannotOpen) a path that is null, missing or not a regular file.
  static Result<RecorderFile> open(const char* path);

  RecorderFile(RecorderFile&& other) noexcept;
  RecorderFile& operator=(RecorderFile&&) = delete;
  ~RecorderFile();

  uint64_t size() const { return size_; }

  void read_at(uint64_t offset, std::span<uint8_t> out) const;
  uint8_t byte_at(uint64_t offset) const;
  uint32_t le16_at(uint64_t offset) const;
  uint32_t le32_at(uint64_t offset) const;
  uint32_t be32_at(uint64_t offset) const;

 private:
  RecorderFile(int fd, uint64_t size) : fd_(fd), size_(size) {}

  int fd_;
  uint64_t size_;
};

}  // namespace calendo
