// The request parser of a receiving window: whatever bytes a connection
// delivers, parsing stays inside them and an accepted text has no zero byte
// and survives a round trip.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "desktop_wire.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  namespace wire = platform::desktop_wire;
  wire::Request request;
  wire::ParseError error;
  if (!wire::parse_request(data, size, request, error)) {
    if (error.offset > size) std::abort();
    return 0;
  }
  if (size > wire::kMaxRequest) std::abort();
  if (request.kind == wire::Kind::copy_data) {
    const auto* text = reinterpret_cast<const uint8_t*>(request.text.data());
    if (text < data + wire::kHeaderSize || text + request.text.size() >= data + size) std::abort();
    if (request.text.find('\0') != std::string_view::npos) std::abort();
    const auto again = wire::encode_copy_data(request.first, request.text);
    wire::Request back;
    if (!wire::parse_request(again.data(), again.size(), back, error)) std::abort();
    if (back.text != request.text || back.first != request.first) std::abort();
  }
  return 0;
}
