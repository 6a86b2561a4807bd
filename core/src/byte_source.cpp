#include "calendo/byte_source.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>

#include <cerrno>

#include <algorithm>
#include <cstring>

#include "calendo/byte_order.h"

namespace calendo {

void ByteSource::read_padded(uint64_t offset, std::span<uint8_t> out) const {
  const std::size_t got = offset < size() ? read_at(offset, out) : 0;
  std::fill(out.begin() + static_cast<std::ptrdiff_t>(got), out.end(), uint8_t{0xFF});
}

uint8_t ByteSource::byte_at(uint64_t offset) const {
  uint8_t byte;
  read_padded(offset, std::span(&byte, 1));
  return byte;
}

uint32_t ByteSource::le16_at(uint64_t offset) const {
  uint8_t b[2];
  read_padded(offset, b);
  return le16(b);
}

uint32_t ByteSource::le32_at(uint64_t offset) const {
  uint8_t b[4];
  read_padded(offset, b);
  return le32(b);
}

uint32_t ByteSource::be32_at(uint64_t offset) const {
  uint8_t b[4];
  read_padded(offset, b);
  return be32(b);
}

std::size_t SpanSource::read_at(uint64_t offset, std::span<uint8_t> out) const {
  if (offset >= bytes_.size()) return 0;
  const std::size_t n = std::min<uint64_t>(out.size(), bytes_.size() - offset);
  std::memcpy(out.data(), bytes_.data() + offset, n);
  return n;
}

Result<RecorderFile> RecorderFile::open(const char* path) {
  // O_NONBLOCK keeps a FIFO from blocking the open; such a file is refused below.
  Result<UniqueFd> fd = open_fd(path, O_RDONLY | O_NONBLOCK);
  if (!fd.ok()) return fd.fault();
  struct stat info {};
  if (::fstat(fd->get(), &info) != 0 || !S_ISREG(info.st_mode))
    return Fault{Failure::CannotOpen, 0, "not a regular file"};
  return RecorderFile(std::move(*fd), info);
}

RecorderFile::RecorderFile(UniqueFd fd, const struct stat& info)
    : fd_(std::move(fd)), size_(static_cast<uint64_t>(info.st_size)), modified_(info.st_mtim) {}

std::size_t RecorderFile::read_at(uint64_t offset, std::span<uint8_t> out) const {
  if (offset >= size_) return 0;
  out = out.first(std::min<uint64_t>(out.size(), size_ - offset));
  // A read error counts as bytes that are not there; what came before it stays.
  return read_up_to_at(fd_.get(), offset, out);
}

Status RecorderFile::unchanged() const {
  struct stat now {};
  if (::fstat(fd_.get(), &now) != 0) return Fault{Failure::Changed, 0, system_text(errno)};
  if (static_cast<uint64_t>(now.st_size) != size_) {
    return Fault{Failure::Changed, 0,
                 "changed while it was read: " + std::to_string(size_) + " bytes became " +
                     std::to_string(now.st_size)};
  }
  if (now.st_mtim.tv_sec != modified_.tv_sec || now.st_mtim.tv_nsec != modified_.tv_nsec)
    return Fault{Failure::Changed, 0, "changed while it was read: it was written to"};
  return {};
}

Result<DiskImage> DiskImage::open(const char* path) {
  Result<UniqueFd> fd = open_fd(path, O_RDONLY | O_NONBLOCK);
  if (!fd.ok()) return fd.fault();
  struct stat info {};
  if (::fstat(fd->get(), &info) != 0) return Fault{Failure::CannotOpen, 0, system_text(errno)};
  if (S_ISREG(info.st_mode)) {
    return DiskImage(std::move(*fd), static_cast<uint64_t>(info.st_size), false, info.st_dev);
  }
  if (!S_ISBLK(info.st_mode)) {
    return Fault{Failure::CannotOpen, 0, "neither a regular file nor a block device"};
  }
  uint64_t bytes = 0;
  if (::ioctl(fd->get(), BLKGETSIZE64, &bytes) != 0)
    return Fault{Failure::CannotOpen, 0, system_text(errno)};
  return DiskImage(std::move(*fd), bytes, true, info.st_rdev);
}

void DiskImage::will_need(uint64_t offset, uint64_t length) const {
  ::posix_fadvise(fd_.get(), static_cast<off_t>(offset), static_cast<off_t>(length),
                  POSIX_FADV_WILLNEED);
}

std::size_t DiskImage::read_at(uint64_t offset, std::span<uint8_t> out) const {
  if (offset >= size_) return 0;
  out = out.first(std::min<uint64_t>(out.size(), size_ - offset));
  return read_up_to_at(fd_.get(), offset, out);
}

}  // namespace calendo
