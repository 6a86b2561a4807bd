// The bytes of a recorder file as they reach the element (pulled or pushed),
// held in an anonymous in-memory file so that calendo-core's readers, which
// read files, can read them. Bytes are appended; open() then gives a
// RecorderFile on them. One thread at a time.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "calendo/recorder_file.h"

namespace calendo::gst {

class HeldFile {
 public:
  HeldFile();
  ~HeldFile();
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;

  // False (with the system's reason in `error`) when the bytes cannot be held.
  bool append(std::span<const uint8_t> bytes, std::string& error);
  uint64_t size() const { return size_; }

  // The file as core's readers see it; nothing when it cannot be opened.
  std::optional<RecorderFile> open() const;

 private:
  int fd_;
  uint64_t size_ = 0;
};

}  // namespace calendo::gst
