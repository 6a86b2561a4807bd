#include "background_writer.h"

#include <fcntl.h>

#include "calendo/io.h"

namespace calendo::tool {

BackgroundWriter::BackgroundWriter(int fd, uint64_t offset) : fd_(fd), offset_(offset) {}

BackgroundWriter::~BackgroundWriter() {
  wait();
}

void BackgroundWriter::wait() {
  if (thread_.joinable()) thread_.join();
}

bool BackgroundWriter::write(std::span<const uint8_t> bytes) {
  wait();
  if (!status_.ok()) return false;
  const uint64_t at = offset_;
  offset_ += bytes.size();
  thread_ = std::jthread([this, at, bytes] {
    status_ = write_all_at(fd_, at, bytes);
    // Write-back of the block starts now, while the next one decodes; the
    // flush before the rename still waits for all of it.
    if (status_.ok()) {
      (void)::sync_file_range(fd_, static_cast<off_t>(at), static_cast<off_t>(bytes.size()),
                              SYNC_FILE_RANGE_WRITE);
    }
  });
  return true;
}

Status BackgroundWriter::finish() {
  wait();
  return status_;
}

}  // namespace calendo::tool
