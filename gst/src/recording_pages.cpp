#include "recording_pages.h"

#include <algorithm>
#include <string_view>

#include "calendo/code_unpacking.h"

namespace calendo::gst {
namespace {

constexpr uint64_t kVqmHeaderSize = kVqmDirectoryLengthOffset + 4;

Refusal cut_short(uint64_t have, uint64_t need) {
  return {have, "header is cut short: the file has " + std::to_string(have) + " of its " +
                    std::to_string(need) + " header bytes"};
}

bool starts_with(const RecorderFile& file, std::string_view magic) {
  if (file.size() < magic.size()) return false;
  for (std::size_t i = 0; i < magic.size(); ++i) {
    if (file.byte_at(i) != static_cast<uint8_t>(magic[i])) return false;
  }
  return true;
}

}  // namespace

std::variant<RecordingPages, Refusal> RecordingPages::read(const RecorderFile& file) {
  Container container;
  if (starts_with(file, "OIFF")) {
    container = Container::Vqr;
    if (file.size() < kVqrHeaderSize) return cut_short(file.size(), kVqrHeaderSize);
  } else if (starts_with(file, "VQ_VOICE")) {
    container = Container::Vqm;
    if (file.size() < kVqmHeaderSize) return cut_short(file.size(), kVqmHeaderSize);
  } else {
    return Refusal{0, "the file starts with neither OIFF nor VQ_VOICE"};
  }

  Result<Recording> read = read_recording(file, container);
  if (!read.ok()) return Refusal{read.fault().offset, read.fault().what};
  RecordingPages pages(file, std::move(read.value()));

  if (container == Container::Vqr) {
    // Pages lie at 528-byte steps whatever the field says; another size would
    // count pages that are not in the file.
    if (file.le16_at(kVqrPageSizeOffset) != kVqrPageSize)
      return Refusal{kVqrPageSizeOffset, "page size must be 528"};
    pages.page_modes_.resize(pages.page_count());
    for (uint32_t p = 0; p < pages.page_count(); ++p)
      pages.page_modes_[p] = file.byte_at(vqr_page_offset(p) + kVqrFlagOffset) & 1;
  } else {
    const auto length = static_cast<int32_t>(file.be32_at(kVqmDirectoryLengthOffset));
    const uint64_t entries = length > 0 ? static_cast<uint64_t>(length) / kVqmEntrySize : 0;
    if (kVqmDirectoryOffset + entries * kVqmEntrySize > file.size()) {
      return Refusal{kVqmDirectoryLengthOffset, "chunk directory of " + std::to_string(entries) +
                                                    " entries runs past the end of the file"};
    }
    pages.page_modes_.assign(pages.page_count(),
                             file.byte_at(kVqmModeOffset) == kVqmSpMode ? kSp : kLp);
  }
  if (pages.page_count() == 0) return Refusal{file.size(), "the file holds no whole page of audio"};
  const auto sp = std::count(pages.page_modes_.begin(), pages.page_modes_.end(), kSp);
  pages.pages_of_[kSp] = static_cast<uint32_t>(sp);
  pages.pages_of_[kLp] = pages.page_count() - pages.pages_of_[kSp];
  return pages;
}

std::size_t RecordingPages::page_codes(uint32_t page, std::span<uint8_t, kMaxCodes> codes) const {
  uint8_t bytes[kVqrPageSize];
  if (recording_.container == Container::Vqr) {
    file_->read_at(vqr_page_offset(page), bytes);
  } else {
    read_vqm_page(*file_, recording_.vqm, static_cast<int32_t>(page),
                  std::span<uint8_t, kVqmPageSize>(bytes, kVqmPageSize));
  }
  const ModeDescriptor& d = recording_.modes[page_modes_[page]];
  const auto count = static_cast<std::size_t>(d.codes());
  unpack_codes(bytes, count, d.code_bits, codes.data());
  return count;
}

}  // namespace calendo::gst
