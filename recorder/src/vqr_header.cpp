#include "vqr_header.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "mode_descriptor.h"

namespace kestrune {
namespace {

bool is_rate_code(uint8_t value) {
  return value == 7 || value == 8 || value == 11;
}
bool is_code_bits(uint8_t value) {
  return value >= 2 && value <= 4;
}

uint32_t le16(const uint8_t* p) {
  return p[0] | static_cast<uint32_t>(p[1]) << 8;
}
uint32_t le32(const uint8_t* p) {
  return le16(p) | static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

Fault refuse(uint64_t offset, const char* what) {
  return Fault{Failure::WrongKind, offset, what};
}

}  // namespace

Result<SplpInfo> read_vqr_info(const RecorderFile& file) {
  std::array<uint8_t, kVqrHeaderSize> h;
  file.read_at(0, h);

  if (std::memcmp(&h[0], "OIFF", 4) != 0) return refuse(0, "magic must be OIFF");
  if (std::memcmp(&h[8], "WAVE", 4) != 0) return refuse(8, "form type must be WAVE");
  if (std::memcmp(&h[12], "fmt ", 4) != 0) return refuse(12, "format block must be 'fmt '");
  if (h[60] > 2) return refuse(60, "file mode must be 0, 1 or 2");
  if (!is_rate_code(h[61])) return refuse(61, "SP rate code must be 7, 8 or 11");
  if (!is_code_bits(h[62])) return refuse(62, "SP code bits must be 2, 3 or 4");
  if (!is_rate_code(h[66])) return refuse(66, "LP rate code must be 7, 8 or 11");
  if (!is_code_bits(h[67])) return refuse(67, "LP code bits must be 2, 3 or 4");
  if (std::memcmp(&h[84], "data", 4) != 0) return refuse(84, "data block must be 'data'");

  // Played pages go through 528-byte page and 2048-code buffers.
  if (!descriptor_fits_page(h[62], static_cast<int32_t>(le16(&h[63])), h[65]))
    return refuse(63, "SP descriptor does not fit a page");
  if (!descriptor_fits_page(h[67], static_cast<int32_t>(le16(&h[68])), h[70]))
    return refuse(68, "LP descriptor does not fit a page");
  const uint32_t page_size = le16(&h[58]);
  if (page_size == 0) return refuse(58, "page size must not be 0");

  SplpInfo info{};
  for (int mode = 0; mode < 2; ++mode) {
    const uint8_t* d = &h[mode == 0 ? 61 : 66];
    info.rate_code[mode] = d[0];
    info.code_bits[mode] = d[1];
    info.code_bytes[mode] = static_cast<uint16_t>(le16(d + 2));
    info.extra_bits[mode] = d[4];
    info.page_ms[mode] =
        static_cast<uint32_t>(code_count(d[1], info.code_bytes[mode], d[4]) / d[0]);
  }
  info.length_field[0] = static_cast<uint16_t>(le16(&h[71]));
  info.length_field[1] = static_cast<uint16_t>(le16(&h[73]));
  info.page_field[0] = le32(&h[75]);
  info.page_field[1] = le32(&h[79]);
  // A file shorter than its header has no pages.
  const uint64_t size = file.size();
  const uint64_t pages = size > kVqrHeaderSize ? (size - kVqrHeaderSize) / page_size : 0;
  info.page_count = static_cast<uint32_t>(std::min<uint64_t>(pages, UINT32_MAX));
  return info;
}

}  // namespace kestrune
