#include "tag_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace calendo::tool {
namespace {

constexpr off_t kMoveBlock = 1 << 16;

}  // namespace

TagStream::TagStream(const std::string& path)
    : path_(path), fd_(::open(path.c_str(), O_RDWR | O_CLOEXEC)) {}

TagStream::~TagStream() {
  Close();
}

bool TagStream::Close() {
  if (fd_ >= 0 && ::close(fd_) != 0) failed_ = true;
  fd_ = -1;
  return !failed_;
}

TagLib::FileName TagStream::name() const {
  return path_.c_str();
}

TagLib::ByteVector TagStream::readBlock(unsigned long length) {
  if (fd_ < 0 || length == 0) return {};
  TagLib::ByteVector block(static_cast<unsigned int>(length), 0);
  size_t got = 0;
  while (got < length) {
    const ssize_t read = ::pread(fd_, block.data() + got, length - got, position_ + got);
    if (read < 0 && errno == EINTR) continue;
    if (read < 0) failed_ = true;
    if (read <= 0) break;
    got += static_cast<size_t>(read);
  }
  position_ += static_cast<off_t>(got);
  block.resize(static_cast<unsigned int>(got));
  return block;
}

bool TagStream::WriteAt(off_t at, const char* data, size_t size) {
  size_t done = 0;
  while (done < size && fd_ >= 0) {
    const ssize_t written = ::pwrite(fd_, data + done, size - done, at + static_cast<off_t>(done));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) break;
    done += static_cast<size_t>(written);
  }
  if (done < size) failed_ = true;
  return done == size;
}

void TagStream::writeBlock(const TagLib::ByteVector& data) {
  if (WriteAt(position_, data.data(), data.size())) position_ += data.size();
}

bool TagStream::MoveTail(off_t from, off_t to) {
  const off_t end = length();
  if (from >= end || from == to) return true;
  std::vector<char> block(kMoveBlock);
  const off_t size = end - from;
  // Back to front when moving towards the end, so nothing is overwritten
  // before it is moved.
  for (off_t done = 0; done < size;) {
    const off_t chunk = std::min(kMoveBlock, size - done);
    const off_t offset = to > from ? size - done - chunk : done;
    if (::pread(fd_, block.data(), chunk, from + offset) != chunk ||
        !WriteAt(to + offset, block.data(), static_cast<size_t>(chunk))) {
      failed_ = true;
      return false;
    }
    done += chunk;
  }
  return true;
}

void TagStream::insert(const TagLib::ByteVector& data, unsigned long start, unsigned long replace) {
  const auto at = static_cast<off_t>(start);
  const off_t end = length();
  const off_t tail = std::min(at + static_cast<off_t>(replace), end);
  const off_t new_tail = at + static_cast<off_t>(data.size());
  if (!MoveTail(tail, new_tail)) return;
  if (new_tail < tail) truncate(static_cast<long>(end - (tail - new_tail)));
  if (WriteAt(at, data.data(), data.size())) position_ = new_tail;
}

void TagStream::removeBlock(unsigned long start, unsigned long length) {
  insert(TagLib::ByteVector(), start, length);
}

void TagStream::seek(long offset, Position p) {
  switch (p) {
    case Beginning:
      position_ = offset;
      break;
    case Current:
      position_ += offset;
      break;
    case End:
      position_ = length() + offset;
      break;
  }
  position_ = std::max<off_t>(position_, 0);
}

long TagStream::length() {
  struct stat status {};
  if (fd_ < 0 || ::fstat(fd_, &status) != 0) {
    failed_ = true;
    return 0;
  }
  return static_cast<long>(status.st_size);
}

void TagStream::truncate(long length) {
  if (fd_ < 0 || ::ftruncate(fd_, length) != 0) failed_ = true;
}

}  // namespace calendo::tool
