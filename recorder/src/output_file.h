// A vqr file opened for writing for the length of one call. A call that fails
// part-way takes back what it wrote, so a failed call leaves the file as it was.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace kestrune::making {

class OutputFile {
 public:
  // Creates the file or empties an existing one.
  static std::optional<OutputFile> create(const char* path);
  // Opens the file for appending, creating it if missing.
  static std::optional<OutputFile> append(const char* path);

  OutputFile(OutputFile&& other) noexcept;
  OutputFile& operator=(OutputFile&&) = delete;
  ~OutputFile();

  // Writes all of `bytes` at the end of the file; false when it could not.
  bool write(std::span<const uint8_t> bytes);
  // Cuts the file back to the length it had when it was opened.
  void undo();

 private:
  OutputFile(int fd, uint64_t opened_size) : fd_(fd), opened_size_(opened_size) {}
  static std::optional<OutputFile> open(const char* path, int flags);

  int fd_;
  uint64_t opened_size_;
};

}  // namespace kestrune::making
