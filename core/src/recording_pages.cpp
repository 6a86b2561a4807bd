#include "calendo/recording_pages.h"

#include <algorithm>
#include <array>
#include <string>

#include "calendo/code_unpacking.h"

namespace calendo {
namespace {

Fault cut_short(uint64_t have, uint64_t need) {
  return {Failure::WrongKind, have,
          "header is cut short: the file has " + std::to_string(have) + " of its " +
              std::to_string(need) + " header bytes"};
}

}  // namespace

Result<RecordingPages> RecordingPages::read(const ByteSource& file) {
  std::array<uint8_t, kMagicBytes> head;
  const std::size_t got = file.read_at(0, head);
  const std::optional<Container> container = ContainerOfMagic(std::span(head).first(got));
  if (!container) {
    // A vqr file cut inside its magic is a recording cut short too.
    const bool oiff = has_vqr_magic(std::span(head).first(got));
    if (oiff && file.size() < kVqrHeaderSize) return cut_short(file.size(), kVqrHeaderSize);
    return Fault{Failure::WrongKind, oiff ? kVqrFormOffset : 0,
                 oiff ? "the file starts with OIFF but has no WAVE at 8"
                      : "the file starts with neither OIFF nor VQ_VOICE"};
  }
  const uint64_t header = *container == Container::Vqr ? kVqrHeaderSize : kVqmHeaderSize;
  if (file.size() < header) return cut_short(file.size(), header);

  Result<Recording> read = read_recording(file, *container);
  if (!read.ok()) return read.fault();
  RecordingPages pages(file, std::move(read.value()));

  if (*container == Container::Vqr) {
    // Pages lie at 528-byte steps whatever the field says; another size would
    // count pages that are not in the file.
    if (file.le16_at(kVqrPageSizeOffset) != kVqrPageSize) {
      return Fault{Failure::WrongKind, kVqrPageSizeOffset, "page size must be 528"};
    }
  } else {
    const auto length = static_cast<int32_t>(file.be32_at(kVqmDirectoryLengthOffset));
    const uint64_t entries = length > 0 ? static_cast<uint64_t>(length) / kVqmEntrySize : 0;
    if (kVqmDirectoryOffset + entries * kVqmEntrySize > file.size()) {
      return Fault{Failure::WrongKind, kVqmDirectoryLengthOffset,
                   "chunk directory of " + std::to_string(entries) +
                       " entries runs past the end of the file"};
    }
  }
  if (pages.page_count() == 0)
    return Fault{Failure::WrongKind, file.size(), "the file holds no whole page of audio"};
  pages.page_modes_.resize(pages.page_count());
  read_page_modes(file, *container, pages.page_modes_);
  const auto sp = std::count(pages.page_modes_.begin(), pages.page_modes_.end(), kSp);
  pages.pages_of_[kSp] = static_cast<uint32_t>(sp);
  pages.pages_of_[kLp] = pages.page_count() - pages.pages_of_[kSp];
  return pages;
}

std::size_t RecordingPages::unpack_page(uint32_t page, const uint8_t* page_bytes,
                                        uint8_t* codes) const {
  const ModeDescriptor& d = recording_.modes[page_modes_[page]];
  const auto count = static_cast<std::size_t>(d.codes());
  unpack_codes(page_bytes, count, d.code_bits, codes);
  return count;
}

std::size_t RecordingPages::page_codes(uint32_t page,
                                       std::span<uint8_t, kMaxPageCodes> codes) const {
  std::array<uint8_t, kVqrPageSize> bytes;
  read_page(*file_, recording_, page, bytes);
  return unpack_page(page, bytes.data(), codes.data());
}

std::size_t RecordingPages::pages_codes(uint32_t first, uint32_t count, uint8_t* codes) const {
  std::vector<uint8_t> bytes;
  if (recording_.container == Container::Vqr) {
    bytes.resize(std::size_t{count} * kVqrPageSize);
    // Short of the whole stretch (the end, a bad sector): page by page, as ever.
    if (file_->read_at(vqr_page_offset(first), bytes) < bytes.size()) bytes.clear();
  }
  std::size_t at = 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (bytes.empty()) {
      at += page_codes(first + i, std::span<uint8_t, kMaxPageCodes>(codes + at, kMaxPageCodes));
    } else {
      at += unpack_page(first + i, bytes.data() + std::size_t{i} * kVqrPageSize, codes + at);
    }
  }
  return at;
}

}  // namespace calendo
