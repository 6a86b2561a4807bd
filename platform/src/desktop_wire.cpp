#include "desktop_wire.h"

#include <cstring>

namespace platform::desktop_wire {
namespace {

constexpr uint8_t kMagic[4] = {'C', 'L', 'D', 'W'};
constexpr uint8_t kVersion = 1;

uint16_t read_u16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t read_u32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

std::vector<uint8_t> encode(Kind kind, uint32_t first, std::string_view payload, bool zero) {
  const std::size_t count = payload.size() + (zero ? 1 : 0);
  std::vector<uint8_t> bytes(kHeaderSize + count, 0);
  std::memcpy(bytes.data(), kMagic, sizeof kMagic);
  bytes[4] = kVersion;
  bytes[5] = static_cast<uint8_t>(kind);
  bytes[6] = static_cast<uint8_t>(count & 0xFF);
  bytes[7] = static_cast<uint8_t>(count >> 8);
  for (int i = 0; i < 4; ++i) bytes[8 + i] = static_cast<uint8_t>(first >> (8 * i));
  if (!payload.empty()) std::memcpy(bytes.data() + kHeaderSize, payload.data(), payload.size());
  return bytes;
}

bool fail(ParseError& error, std::size_t offset, const char* message) {
  error.offset = offset;
  error.message = message;
  return false;
}

}  // namespace

bool parse_request(const uint8_t* bytes, std::size_t size, Request& request, ParseError& error) {
  if (size < kHeaderSize) return fail(error, size, "header: truncated before 12 bytes");
  if (std::memcmp(bytes, kMagic, sizeof kMagic) != 0) {
    return fail(error, 0, "header: magic must be \"CLDW\"");
  }
  if (bytes[4] != kVersion) return fail(error, 4, "header: version must be 1");
  const uint8_t kind = bytes[5];
  if (kind != static_cast<uint8_t>(Kind::copy_data) &&
      kind != static_cast<uint8_t>(Kind::bring_to_front)) {
    return fail(error, 5, "header: kind must be 1 (copy-data) or 2 (bring to front)");
  }
  const std::size_t count = read_u16(bytes + 6);
  if (size != kHeaderSize + count) {
    return fail(error, size < kHeaderSize + count ? size : kHeaderSize + count,
                "payload: length differs from the byte count in the header");
  }
  request.kind = static_cast<Kind>(kind);
  request.first = read_u32(bytes + 8);
  request.text = {};
  const uint8_t* payload = bytes + kHeaderSize;
  if (request.kind == Kind::bring_to_front) {
    if (count != 0) return fail(error, 6, "header: bring to front carries no payload");
    return true;
  }
  const void* zero = count == 0 ? nullptr : std::memchr(payload, 0, count);
  if (zero == nullptr) {
    return fail(error, kHeaderSize + count, "payload: text has no terminating zero");
  }
  // Bytes after the terminating zero are allowed and ignored: the count may
  // announce more than the text.
  const auto length = static_cast<std::size_t>(static_cast<const uint8_t*>(zero) - payload);
  request.text = std::string_view(reinterpret_cast<const char*>(payload), length);
  return true;
}

std::vector<uint8_t> encode_copy_data(uint32_t first, std::string_view text) {
  return encode(Kind::copy_data, first, text, true);
}

std::vector<uint8_t> encode_bring_to_front() {
  return encode(Kind::bring_to_front, 0, {}, false);
}

}  // namespace platform::desktop_wire
