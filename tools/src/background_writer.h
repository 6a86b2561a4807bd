// The samples of a WAV file written behind the decoding: each block goes to
// its place after the ones before it on a thread of its own while the next
// block decodes, and its write-back to disk starts at once, so that the
// flush before the file takes its name finds little left to do.
//
// One thread calls the writer; its blocks are written in the order given.
#pragma once

#include <cstdint>
#include <span>
#include <thread>

#include "calendo/fault.h"

namespace calendo::tool {

class BackgroundWriter {
 public:
  // Writes from `offset` on in `fd`, open for writing until finish() has
  // returned.
  BackgroundWriter(int fd, uint64_t offset);
  ~BackgroundWriter();
  BackgroundWriter(const BackgroundWriter&) = delete;
  BackgroundWriter& operator=(const BackgroundWriter&) = delete;

  // Waits for the block before, then starts writing `bytes`, which must stay
  // as they are until the next write() or finish() has returned. False once
  // a write has failed (nothing more is written then).
  bool write(std::span<const uint8_t> bytes);
  // Waits for the last block; the first failure (CannotWrite, its offset the
  // file's byte where writing stopped), if any.
  Status finish();

  // Where the next block goes.
  uint64_t offset() const { return offset_; }

 private:
  void wait();

  int fd_;
  uint64_t offset_;
  std::jthread thread_;
  Status status_;
};

}  // namespace calendo::tool
