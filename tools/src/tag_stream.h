// The file TagLib writes tags into. TagLib's own file stream drops the
// result of every write, so a full disk or a file size limit would leave a
// damaged file reported as tagged; this one remembers any failed read or
// write, and the tags count as written only when none failed.
//
// Threads: one stream per thread.
#pragma once

#include <sys/types.h>

#include <string>

#include <taglib/tiostream.h>

#include "calendo/io.h"

namespace calendo::tool {

class TagStream : public TagLib::IOStream {
 public:
  // Opens `path` for reading and writing; isOpen() says whether it could.
  explicit TagStream(const std::string& path);
  ~TagStream() override;
  TagStream(const TagStream&) = delete;
  TagStream& operator=(const TagStream&) = delete;

  // Whether a read or write failed, or the file could not be closed.
  bool failed() const { return failed_; }
  // Closes the file; false when it or anything before failed.
  bool Close();

  TagLib::FileName name() const override;
  TagLib::ByteVector readBlock(unsigned long length) override;
  void writeBlock(const TagLib::ByteVector& data) override;
  void insert(const TagLib::ByteVector& data, unsigned long start = 0,
              unsigned long replace = 0) override;
  void removeBlock(unsigned long start = 0, unsigned long length = 0) override;
  bool readOnly() const override { return false; }
  bool isOpen() const override { return fd_.valid(); }
  void seek(long offset, Position p = Beginning) override;
  long tell() const override { return static_cast<long>(position_); }
  long length() override;
  void truncate(long length) override;

 private:
  // Reads what there is of `size` bytes at `at`; returns how many.
  size_t ReadAt(off_t at, char* data, size_t size);
  bool WriteAt(off_t at, const char* data, size_t size);
  // Moves the bytes from `from` to the end of the file to start at `to`.
  bool MoveTail(off_t from, off_t to);

  std::string path_;
  UniqueFd fd_;
  off_t position_ = 0;
  bool failed_ = false;
};

}  // namespace calendo::tool
