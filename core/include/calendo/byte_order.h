// Little- and big-endian integers in byte arrays: the recorder format, the
// WAV header and the vqm chunk directory all store their numbers this way.
// Plain functions on the caller's bytes; any thread.
#pragma once

#include <cstdint>

namespace calendo {

constexpr uint32_t le16(const uint8_t* p) {
  return p[0] | static_cast<uint32_t>(p[1]) << 8;
}
constexpr uint32_t le32(const uint8_t* p) {
  return le16(p) | static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
constexpr uint32_t be32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
         static_cast<uint32_t>(p[2]) << 8 | p[3];
}

constexpr void put_le16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
constexpr void put_le32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace calendo
