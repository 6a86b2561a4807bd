#include <algorithm>
#include <stdexcept>

#include "testing/recorder_writer.h"

namespace testkit {
namespace {

void put_tag(Bytes& out, size_t at, const std::string& tag) {
  for (size_t i = 0; i < 4; ++i) out[at + i] = i < tag.size() ? static_cast<uint8_t>(tag[i]) : 0;
}

void put_le(Bytes& out, size_t at, uint32_t value, size_t width) {
  for (size_t i = 0; i < width; ++i) out[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

void put_descriptor(Bytes& out, size_t at, const ModeDescriptor& mode) {
  out[at] = mode.rate_code;
  out[at + 1] = mode.code_bits;
  put_le(out, at + 2, mode.code_bytes, 2);
  out[at + 4] = mode.extra_bits;
}

VqrPage blank_page(uint8_t flag) {
  VqrPage page;
  page.bytes.fill(0);
  std::fill(page.bytes.begin() + 513, page.bytes.end(), uint8_t{0xFF});
  page.flag() = flag;
  return page;
}

}  // namespace

VqrPage vqr_sp_page(std::span<const uint8_t> codes) {
  if (codes.size() > 1360) throw std::invalid_argument("vqr_sp_page: at most 1360 codes");
  VqrPage page = blank_page(0x00);
  pack_codes(codes, 3, page.code_area().first(510));
  page.bytes[510] = 0xFF;
  page.bytes[511] = 0xFF;
  return page;
}

VqrPage vqr_lp_page(std::span<const uint8_t> codes) {
  if (codes.size() > 2046) throw std::invalid_argument("vqr_lp_page: at most 2046 codes");
  VqrPage page = blank_page(0x01);
  pack_codes(codes, 2, page.code_area());
  return page;
}

Bytes VqrFile::bytes() const {
  const size_t size = kVqrHeaderSize + kVqrPageSize * pages.size() + trailing.size();
  Bytes out(kVqrHeaderSize, 0);
  const auto file_size = static_cast<uint32_t>(size);

  // The recording length the recorder would write: SP pages at 123 ms, LP at 292 ms.
  uint32_t ms = 0;
  for (const VqrPage& page : pages) ms += (page.bytes[calendo::kVqrFlagOffset] & 1) ? 292 : 123;
  const auto seconds = static_cast<uint16_t>(ms / 1000);

  put_tag(out, 0, header.magic);
  put_le(out, 4, header.riff_size.value_or(file_size - 8), 4);
  put_tag(out, 8, header.wave);
  put_tag(out, 12, header.fmt);
  put_le(out, 16, header.fmt_length, 4);
  std::fill(out.begin() + 20, out.begin() + 56, uint8_t{0xFF});
  put_le(out, 56, header.seconds.value_or(seconds), 2);
  put_le(out, 58, header.page_size, 2);
  out[60] = header.file_mode;
  put_descriptor(out, 61, header.sp);
  put_descriptor(out, 66, header.lp);
  put_le(out, 71, header.sp_length.value_or(seconds), 2);
  put_le(out, 73, header.lp_length, 2);
  put_le(out, 75, header.sp_pages.value_or(static_cast<uint32_t>(pages.size()) & 0xFFFFFF), 4);
  put_le(out, 79, header.lp_pages, 4);
  out[83] = 0xFF;
  put_tag(out, 84, header.data);
  put_le(out, 88, header.data_length.value_or(file_size - kVqrHeaderSize), 4);

  out.reserve(size);
  for (const VqrPage& page : pages) out.insert(out.end(), page.bytes.begin(), page.bytes.end());
  out.insert(out.end(), trailing.begin(), trailing.end());
  return out;
}

Bytes VqrFile::write(const std::filesystem::path& path) const {
  Bytes out = bytes();
  write_file(path, out);
  return out;
}

}  // namespace testkit
