// Files the reader tests make for themselves in a fresh temporary folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "testing/temp_dir.h"

namespace readers_test {

// The byte at offset i of every test file: no two neighbours alike, so a
// read from the wrong offset shows.
uint8_t pattern_byte(std::size_t i);
std::vector<uint8_t> pattern(std::size_t size);

// The tests' temporary folder (testing/temp_dir.h), with a writer of files.
class TempFolder {
 public:
  const std::string& path() const { return path_; }
  // Writes `bytes` to a file of this folder and returns its path.
  std::string write(const std::string& name, const std::vector<uint8_t>& bytes) const;

 private:
  testkit::TempDir dir_;
  std::string path_ = dir_.path().string();
};

}  // namespace readers_test
