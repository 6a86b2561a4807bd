#include "background_writer.h"

#include <fcntl.h>

#include <algorithm>

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
    // the page cache, while the rest is copied and the next block decodes;
    // the flush before the rename still waits for all of it.
    for (std::size_t done = 0; done < bytes.size() && status_.ok(); done += kPieceBytes) {
      const std::span<const uint8_t> piece =
          bytes.subspan(done).first(std::min(kPieceBytes, bytes.size() - done));
      status_ = write_all_at(fd_, at + done, piece);
      if (status_.ok()) {
        (void)::sync_file_range(fd_, static_cast<off_t>(at + done),
                                static_cast<off_t>(piece.size()), SYNC_FILE_RANGE_WRITE);
      }
    }
  });
  return true;
}

Status BackgroundWriter::finish() {
  wait();
  return status_;
}

}  // namespace calendo::tool
