// Where a recording's bytes come from: a file, a span in memory (a GStreamer
// buffer, a fuzz input), or a region of a card image. Readers of the formats
// take a ByteSource and never a path, so every one of those serves alike.
//
// A source has a fixed size and answers positional reads. read_at() gives
// fewer bytes than asked only at the end of the source or where the bytes
// cannot be read (a bad sector); the readers of the recorder formats then
// see 0xFF, as a card's erased memory reads (read_padded()). Sources are
// read from any thread: read_at() is const and keeps no position.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>

#include "calendo/fault.h"
#include "calendo/io.h"

namespace calendo {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual uint64_t size() const = 0;
  // Copies the bytes at [offset, offset + out.size()) that exist and can be
  // read into the front of `out`; returns how many.
  virtual std::size_t read_at(uint64_t offset, std::span<uint8_t> out) const = 0;

  // A hint that [offset, offset + length) will be read soon; sources that
  // can start reading ahead do so.
  virtual void will_need(uint64_t offset, uint64_t length) const {
    (void)offset;
    (void)length;
  }

  // read_at() with every byte it could not give set to 0xFF.
  void read_padded(uint64_t offset, std::span<uint8_t> out) const;
  uint8_t byte_at(uint64_t offset) const;
  uint32_t le16_at(uint64_t offset) const;
  uint32_t le32_at(uint64_t offset) const;
  uint32_t be32_at(uint64_t offset) const;
};

// Bytes the caller keeps alive for as long as the source is read.
class SpanSource final : public ByteSource {
 public:
  explicit SpanSource(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  uint64_t size() const override { return bytes_.size(); }
  std::size_t read_at(uint64_t offset, std::span<uint8_t> out) const override;

 private:
  std::span<const uint8_t> bytes_;
};

// A regular file opened read-only; its size is taken at the open. The object
// owns its descriptor.
class RecorderFile final : public ByteSource {
 public:
  // Refuses (CannotOpen) a path that is null, missing or not a regular file;
  // a FIFO is refused without waiting for a writer.
  static Result<RecorderFile> open(const char* path);

  uint64_t size() const override { return size_; }
  std::size_t read_at(uint64_t offset, std::span<uint8_t> out) const override;

  // Whether the file still has the size and modification time it had at the
  // open; a Fault (Changed) that says what moved otherwise.
  Status unchanged() const;

 private:
  RecorderFile(UniqueFd fd, const struct stat& info);

  UniqueFd fd_;
  uint64_t size_;
  timespec modified_;
};

// A card image or a block device opened read-only, for reading it whole:
// regular files and block devices only (a FIFO or a terminal is refused).
// read_at() gives what the system gives; a bad sector ends a read early.
class DiskImage final : public ByteSource {
 public:
  static Result<DiskImage> open(const char* path);

  uint64_t size() const override { return size_; }
  std::size_t read_at(uint64_t offset, std::span<uint8_t> out) const override;
  void will_need(uint64_t offset, uint64_t length) const override;

  int fd() const { return fd_.get(); }
  bool is_device() const { return device_; }
  // The device the image lies on (st_dev), or the device itself (st_rdev).
  dev_t device_id() const { return device_id_; }

 private:
  DiskImage(UniqueFd fd, uint64_t size, bool device, dev_t device_id)
      : fd_(std::move(fd)), size_(size), device_(device), device_id_(device_id) {}

  UniqueFd fd_;
  uint64_t size_;
  bool device_;
  dev_t device_id_;
};

}  // namespace calendo
