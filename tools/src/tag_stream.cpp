#include "tag_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>
#include <vector>

namespace calendo::tool {
namespace {

constexpr off_t kMoveBlock = 1 << 16;

}  // namespace

TagStream::TagStream(const std::string& path) : path_(path) {
  int error_number = 0;
  {
    Result<UniqueFd> opened = open_fd(path.c_str(), O_RDWR);
    if (opened.ok()) {
      fd_ = std::move(*opened);
    } else {
      error_number = opened.fault().system_error;
    }
  }
  // A file that cannot be opened leaves errno set for the caller's message.
  if (!fd_.valid()) errno = error_number;
}

TagStream::~TagStream() {
  Close();
}

bool TagStream::Close() {
  if (fd_.valid() && !fd_.close().ok()) failed_ = true;
  return !failed_;
}

TagLib::FileName TagStream::name() const {
  return path_.c_str();
}

size_t TagStream::ReadAt(off_t at, char* data, size_t size) {
  const Result<size_t> got =
      read_full_at(fd_.get(), static_cast<uint64_t>(at), {reinterpret_cast<uint8_t*>(data), size});
  if (got.ok()) return *got;
  failed_ = true;
  return static_cast<size_t>(got.fault().offset - static_cast<uint64_t>(at));
}

TagLib::ByteVector TagStream::readBlock(unsigned long length) {
  if (!fd_.valid() || length == 0) return {};
  TagLib::ByteVector block(static_cast<unsigned int>(length), 0);
  const size_t got = ReadAt(position_, block.data(), length);
  position_ += static_cast<off_t>(got);
  block.resize(static_cast<unsigned int>(got));
  return block;
}

bool TagStream::WriteAt(off_t at, const char* data, size_t size) {
  if (!fd_.valid() || !write_all_at(fd_.get(), static_cast<uint64_t>(at),
                                    {reinterpret_cast<const uint8_t*>(data), size})
                           .ok()) {
    failed_ = true;
    return false;
  }
  return true;
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
    if (ReadAt(from + offset, block.data(), static_cast<size_t>(chunk)) !=
            static_cast<size_t>(chunk) ||
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
  if (!fd_.valid() || ::fstat(fd_.get(), &status) != 0) {
    failed_ = true;
    return 0;
  }
  return static_cast<long>(status.st_size);
}

void TagStream::truncate(long length) {
  if (!fd_.valid() || ::ftruncate(fd_.get(), length) != 0) failed_ = true;
}

}  // namespace calendo::tool
