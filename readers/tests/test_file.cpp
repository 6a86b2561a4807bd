#include "test_file.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace readers_test {

uint8_t pattern_byte(std::size_t i) {
  return static_cast<uint8_t>((i * 131 + i / 251) & 0xFF);
}

std::vector<uint8_t> pattern(std::size_t size) {
  std::vector<uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = pattern_byte(i);
  return bytes;
}

std::string TempFolder::write(const std::string& name, const std::vector<uint8_t>& bytes) const {
  const std::string file = path_ + "/" + name;
  std::ofstream out(file, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + file);
  return file;
}

}  // namespace readers_test
