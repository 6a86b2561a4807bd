// The bytes that travel between windows on their sockets.
//
// A request is a 12-byte header and a payload, sent in full before the sender
// shuts its side for writing:
//   0  4  magic "CLDW"
//   4  1  version, 1
//   5  1  kind: 1 = copy-data, 2 = bring to front
//   6  2  payload byte count, little-endian
//   8  4  identifier field ("first"), little-endian
//  12  n  payload: for copy-data the text, zero-terminated inside the count;
//         bring to front carries none
// The answer is one status byte. Nothing here reads past the bytes given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace platform::desktop_wire {

inline constexpr std::size_t kHeaderSize = 12;
inline constexpr std::size_t kMaxPayload = 0xFFFF;
inline constexpr std::size_t kMaxRequest = kHeaderSize + kMaxPayload;

enum class Kind : uint8_t { copy_data = 1, bring_to_front = 2 };

enum class Status : uint8_t { handled = 0, no_handler = 1, failed = 2 };

struct Request {
  Kind kind = Kind::copy_data;
  uint32_t first = 0;
  std::string_view text;  // points into the parsed bytes
};

// Where and why a request was refused.
struct ParseError {
  std::size_t offset = 0;
  const char* message = "";
};

// Parses one complete request of exactly `size` bytes. Returns false, with
// `error` filled, for anything that is not a well-formed request.
bool parse_request(const uint8_t* bytes, std::size_t size, Request& request, ParseError& error);

// The bytes of a copy-data request carrying `text` and a terminating zero.
// REQUIRES: text.size() < kMaxPayload and no zero byte inside text.
std::vector<uint8_t> encode_copy_data(uint32_t first, std::string_view text);

std::vector<uint8_t> encode_bring_to_front();

}  // namespace platform::desktop_wire
