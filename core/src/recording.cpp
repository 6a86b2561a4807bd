#include "calendo/recording.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "calendo/byte_order.h"

namespace calendo {
namespace {

constexpr uint64_t kPagesPerRead = 64;

// A vqm header has no length or page fields: these stand in for them, the
// values its readers have always reported (callers that need page counts
// take them from the page table).
constexpr uint16_t kVqmSpLengthField = 3840;
constexpr uint16_t kVqmLpLengthField = 9000;
constexpr uint32_t kVqmSpPageField = 31065;
constexpr uint32_t kVqmLpPageField = 31069;

Fault refuse(uint64_t offset, std::string what) {
  return Fault{Failure::WrongKind, offset, std::move(what)};
}

bool text_at(const uint8_t* header, uint32_t offset, const char (&text)[5]) {
  return std::memcmp(header + offset, text, 4) == 0;
}

ModeDescriptor descriptor_at(const uint8_t* d) {
  return {d[kDescriptorRate], d[kDescriptorBits], static_cast<uint16_t>(le16(d + kDescriptorBytes)),
          d[kDescriptorExtra]};
}

Result<Recording> read_vqr(const ByteSource& file) {
  std::array<uint8_t, kVqrHeaderSize> h;
  file.read_padded(0, h);
  const uint8_t* sp = &h[kVqrSpModeOffset];
  const uint8_t* lp = &h[kVqrLpModeOffset];

  if (!has_vqr_magic(h)) return refuse(kVqrMagicOffset, "magic must be OIFF");
  if (!has_vqr_form(h)) return refuse(kVqrFormOffset, "form type must be WAVE");
  if (!text_at(h.data(), kVqrFormatBlockOffset, "fmt "))
    return refuse(kVqrFormatBlockOffset, "format block must be 'fmt '");
  if (h[kVqrFileModeOffset] > kFileModeBoth)
    return refuse(kVqrFileModeOffset, "file mode must be 0, 1 or 2");
  if (!is_rate_code(sp[kDescriptorRate]))
    return refuse(kVqrSpModeOffset + kDescriptorRate, "SP rate code must be 7, 8 or 11");
  if (!is_code_bits(sp[kDescriptorBits]))
    return refuse(kVqrSpModeOffset + kDescriptorBits, "SP code bits must be 2, 3 or 4");
  if (!is_rate_code(lp[kDescriptorRate]))
    return refuse(kVqrLpModeOffset + kDescriptorRate, "LP rate code must be 7, 8 or 11");
  if (!is_code_bits(lp[kDescriptorBits]))
    return refuse(kVqrLpModeOffset + kDescriptorBits, "LP code bits must be 2, 3 or 4");
  if (!text_at(h.data(), kVqrDataBlockOffset, "data"))
    return refuse(kVqrDataBlockOffset, "data block must be 'data'");

  Recording r;
  r.container = Container::Vqr;
  r.modes[kSp] = descriptor_at(sp);
  r.modes[kLp] = descriptor_at(lp);
  // Played pages go through 528-byte page and 2048-code buffers.
  for (int mode : {kSp, kLp}) {
    const ModeDescriptor& m = r.modes[mode];
    if (!descriptor_fits_page(m.code_bits, m.code_bytes, m.extra_bits)) {
      const uint32_t at = (mode == kSp ? kVqrSpModeOffset : kVqrLpModeOffset) + kDescriptorBytes;
      return refuse(at, std::string(mode == kSp ? "SP" : "LP") +
                            " descriptor does not fit a page (" + std::to_string(m.code_bytes) +
                            " bytes and " + std::to_string(m.extra_bits) + " bits of " +
                            std::to_string(m.code_bits) + "-bit codes)");
    }
  }
  const uint32_t page_size = le16(&h[kVqrPageSizeOffset]);
  if (page_size == 0) return refuse(kVqrPageSizeOffset, "page size must not be 0");

  r.length_field = {static_cast<uint16_t>(le16(&h[kVqrSpLengthOffset])),
                    static_cast<uint16_t>(le16(&h[kVqrLpLengthOffset]))};
  r.page_field = {le32(&h[kVqrSpPagesOffset]), le32(&h[kVqrLpPagesOffset])};
  // A file shorter than its header has no pages.
  const uint64_t size = file.size();
  const uint64_t pages = size > kVqrHeaderSize ? (size - kVqrHeaderSize) / page_size : 0;
  r.page_count = static_cast<uint32_t>(std::min<uint64_t>(pages, UINT32_MAX));
  return r;
}

Result<Recording> read_vqm(const ByteSource& file) {
  uint8_t magic[8];
  file.read_padded(0, magic);
  if (!has_vqm_magic(magic)) return refuse(0, "magic must be VQ_VOICE");
  Result<VqmLayout> layout = read_vqm_layout(file);
  if (!layout.ok()) return layout.fault();

  Recording r;
  r.container = Container::Vqm;
  r.modes = {kVqmSp, kVqmLp};
  r.length_field = {kVqmSpLengthField, kVqmLpLengthField};
  r.page_count = vqm_page_count(file, layout.value());
  if (vqm_file_mode(file) == kSp)
    r.page_field[kSp] = kVqmSpPageField;
  else
    r.page_field[kLp] = kVqmLpPageField;
  r.vqm = std::move(layout.value());
  return r;
}

}  // namespace

Result<Recording> read_recording(const ByteSource& file, Container container) {
  return container == Container::Vqr ? read_vqr(file) : read_vqm(file);
}

void read_page(const ByteSource& file, const Recording& recording, int64_t page,
               std::span<uint8_t, kVqrPageSize> out) {
  if (recording.container == Container::Vqm) {
    read_vqm_page(file, recording.vqm,
                  page < 0 || page > INT32_MAX ? -1 : static_cast<int32_t>(page),
                  out.first<kVqmPageSize>());
  } else {
    read_vqr_page(file, page, out);
  }
}

void read_vqr_page(const ByteSource& file, int64_t page, std::span<uint8_t, kVqrPageSize> out) {
  if (page < 0) {
    std::memset(out.data(), 0xFF, out.size());
  } else {
    file.read_padded(vqr_page_offset(static_cast<uint64_t>(page)), out);
  }
}

int vqm_file_mode(const ByteSource& file) {
  return file.byte_at(kVqmModeOffset) == kVqmSpMode ? kSp : kLp;
}

void read_page_modes(const ByteSource& file, Container container, std::span<uint8_t> table) {
  if (container == Container::Vqm) {
    std::fill(table.begin(), table.end(), static_cast<uint8_t>(vqm_file_mode(file)));
    return;
  }
  std::array<uint8_t, kPagesPerRead * kVqrPageSize> chunk;
  uint64_t page = 0;
  while (page < table.size()) {
    const uint64_t flag_offset = vqr_page_offset(page) + kVqrFlagOffset;
    if (flag_offset >= file.size()) break;
    const uint64_t pages = std::min<uint64_t>(kPagesPerRead, table.size() - page);
    const auto bytes = std::span(chunk).first((pages - 1) * kVqrPageSize + 1);
    file.read_padded(flag_offset, bytes);
    for (uint64_t i = 0; i < pages; ++i) table[page + i] = bytes[i * kVqrPageSize] & 1;
    page += pages;
  }
  std::fill(table.begin() + static_cast<std::ptrdiff_t>(page), table.end(), uint8_t{kLp});
}

}  // namespace calendo
