#include <fstream>
#include <stdexcept>

#include "testing/recorder_writer.h"

namespace testkit {

void pack_codes(std::span<const uint8_t> codes, int bits, std::span<uint8_t> area) {
  if (bits < 1 || bits > 8) throw std::invalid_argument("pack_codes: bits must be 1 to 8");
  if (codes.size() * static_cast<size_t>(bits) > area.size() * 8)
    throw std::invalid_argument("pack_codes: codes do not fit the area");
  size_t bit = 0;
  for (uint8_t code : codes) {
    for (int b = 0; b < bits; ++b, ++bit) {
      const auto mask = static_cast<uint8_t>(1u << (bit % 8));
      if ((code >> b) & 1u)
        area[bit / 8] = static_cast<uint8_t>(area[bit / 8] | mask);
      else
        area[bit / 8] = static_cast<uint8_t>(area[bit / 8] & ~mask);
    }
  }
}

Bytes pack_codes(std::span<const uint8_t> codes, int bits) {
  Bytes area((codes.size() * static_cast<size_t>(bits) + 7) / 8, 0);
  pack_codes(codes, bits, area);
  return area;
}

void write_file(const std::filesystem::path& path, std::span<const uint8_t> bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("write_file: cannot write " + path.string());
}

}  // namespace testkit
