#include "background_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "calendo/io.h"

namespace calendo::tool {
namespace {

constexpr std::size_t kPieceBytes = std::size_t{2} << 20;

}  // namespace

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
    // Piece by piece, the write-back of each started as soon as it is in
    // the page cache, while the rest is copied and the next block decodes.
    for (std::size_t done = 0; done < bytes.size() && status_.ok(); done += kPieceBytes) {
      const std::span<const uint8_t> piece =
          bytes.subspan(done).first(std::min(kPieceBytes, bytes.size() - done));
      status_ = write_all_at(fd_, at + done, piece);
      if (status_.ok()) {
        (void)::sync_file_range(fd_, static_cast<off_t>(at + done),
                                static_cast<off_t>(piece.size()), SYNC_FILE_RANGE_WRITE);
      }
    }
    // Then the block is flushed while the next one decodes: a flush costs in
    // proportion to what was written since the last one (a virtual disk's
    // host writes it out then), so the one before the rename finds only the
    // last block left. A failed flush fails the file: the error is reported
    // once, and the flush before the rename would not see it again.
    if (status_.ok() && ::fdatasync(fd_) != 0) {
      const int error_number = errno;
      status_ = Fault{Failure::CannotWrite, at, system_text(error_number), error_number};
    }
  });
  return true;
}

Status BackgroundWriter::finish() {
  wait();
  return status_;
}

}  // namespace calendo::tool
