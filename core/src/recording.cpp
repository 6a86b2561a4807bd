#include "calendo/recording.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "calendo/byte_order.h"

namespace calendo {
namespace {

Fault refuse(uint64_t offset, const char* what) {
  return Fault{Failure::WrongKind, offset, what};
}

ModeDescriptor descriptor_at(const uint8_t* d) {
  return {d[0], d[1], static_cast<uint16_t>(le16(d + 2)), d[4]};
}

Result<Recording> read_vqr(const RecorderFile& file) {
  std::array<uint8_t, kVqrHeaderSize> h;
  file.read_at(0, h);

  if (std::memcmp(&h[0], "OIFF", 4) != 0) return refuse(0, "magic must be OIFF");
  if (std::memcmp(&h[8], "WAVE", 4) != 0) return refuse(8, "form type must be WAVE");
  if (std::memcmp(&h[12], "fmt ", 4) != 0) return refuse(12, "format block must be 'fmt '");
  if (h[kVqrFileModeOffset] > 2) return refuse(kVqrFileModeOffset, "file mode must be 0, 1 or 2");
  if (!is_rate_code(h[61])) return refuse(61, "SP rate code must be 7, 8 or 11");
  if (!is_code_bits(h[62])) return refuse(62, "SP code bits must be 2, 3 or 4");
  if (!is_rate_code(h[66])) return refuse(66, "LP rate code must be 7, 8 or 11");
  if (!is_code_bits(h[67])) return refuse(67, "LP code bits must be 2, 3 or 4");
  if (std::memcmp(&h[84], "data", 4) != 0) return refuse(84, "data block must be 'data'");

  Recording r;
  r.container = Container::Vqr;
  r.modes[0] = descriptor_at(&h[kVqrSpModeOffset]);
  r.modes[1] = descriptor_at(&h[kVqrLpModeOffset]);
  // Played pages go through 528-byte page and 2048-code buffers.
  for (int mode = 0; mode < 2; ++mode) {
    const ModeDescriptor& m = r.modes[mode];
    if (!descriptor_fits_page(m.code_bits, m.code_bytes, m.extra_bits)) {
      return mode == 0 ? refuse(63, "SP descriptor does not fit a page")
                       : refuse(68, "LP descriptor does not fit a page");
    }
  }
  const uint32_t page_size = le16(&h[kVqrPageSizeOffset]);
  if (page_size == 0) return refuse(kVqrPageSizeOffset, "page size must not be 0");

  r.length_field = {static_cast<uint16_t>(le16(&h[71])), static_cast<uint16_t>(le16(&h[73]))};
  r.page_field = {le32(&h[75]), le32(&h[79])};
  // A file shorter than its header has no pages.
  const uint64_t size = file.size();
  const uint64_t pages = size > kVqrHeaderSize ? (size - kVqrHeaderSize) / page_size : 0;
  r.page_count = static_cast<uint32_t>(std::min<uint64_t>(pages, UINT32_MAX));
  return r;
}

Result<Recording> read_vqm(const RecorderFile& file) {
  uint8_t magic[8];
  file.read_at(0, magic);
  if (std::string_view(reinterpret_cast<const char*>(magic), 8) != "VQ_VOICE")
    return refuse(0, "magic must be VQ_VOICE");
  Result<VqmLayout> layout = read_vqm_layout(file);
  if (!layout.ok()) return layout.fault();

  // A vqm file has fixed modes; its pages are all of the mode the mode byte names.
  Recording r;
  r.container = Container::Vqm;
  r.modes = {ModeDescriptor{11, 3, 510, 0}, ModeDescriptor{8, 2, 510, 0}};
  r.length_field = {3840, 9000};
  r.page_count = vqm_page_count(file, layout.value());
  if (file.byte_at(kVqmModeOffset) == kVqmSpMode)
    r.page_field[0] = 31065;
  else
    r.page_field[1] = 31069;
  r.vqm = std::move(layout.value());
  return r;
}

}  // namespace

Result<Recording> read_recording(const RecorderFile& file, Container container) {
  return container == Container::Vqr ? read_vqr(file) : read_vqm(file);
}

}  // namespace calendo
