// The parser of window entries read from the per-user directory: any bytes
// are refused or give an entry that encodes back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "desktop_registry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  namespace registry = platform::desktop_registry;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  registry::Entry entry;
  if (!registry::parse_entry(bytes, entry)) return 0;
  if (entry.pid <= 0 || entry.title.size() > registry::kMaxTitle) std::abort();
  registry::Entry back;
  if (!registry::parse_entry(registry::encode_entry(entry), back)) std::abort();
  if (back.pid != entry.pid || back.stamp != entry.stamp || back.start_time != entry.start_time ||
      back.title != entry.title) {
    std::abort();
  }
  return 0;
}
