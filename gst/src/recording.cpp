#include "recording.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace calendo::gst {
namespace {

constexpr uint64_t kVqrFlagOffset = 512;  // within a page
constexpr uint64_t kVqmModeOffset = 61;
constexpr uint8_t kVqmSpMode = 5;
constexpr uint64_t kDirectoryOffset = 80;
constexpr uint64_t kDirectoryLengthOffset = 92;
constexpr uint64_t kEntrySize = 8;
constexpr uint8_t kGapClose = 3;
constexpr uint8_t kGapOpen = 4;

uint32_t le16(const uint8_t* p) {
  return p[0] | static_cast<uint32_t>(p[1]) << 8;
}
uint32_t be32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
         static_cast<uint32_t>(p[2]) << 8 | p[3];
}

bool is_rate_code(uint8_t value) {
  return value == 7 || value == 8 || value == 11;
}
bool is_code_bits(uint8_t value) {
  return value >= 2 && value <= 4;
}

// A page's stream must fit the 512-byte code area and give 1 to 2048 codes.
bool fits_page(const ModeDescriptor& d) {
  if (d.extra_bits > 8) return false;
  if (d.code_bytes + (d.extra_bits > 0 ? 1 : 0) > 512) return false;
  const int codes = d.codes_per_page();
  return codes >= 1 && codes <= static_cast<int>(kMaxCodes);
}

std::string cut_short(std::size_t have, std::size_t need) {
  return "header is cut short: the file has " + std::to_string(have) + " of its " +
         std::to_string(need) + " header bytes";
}

}  // namespace

void Recording::read_at(uint64_t offset, std::span<uint8_t> out) const {
  std::fill(out.begin(), out.end(), 0xFF);
  if (offset >= file_.size()) return;
  const auto n = std::min<uint64_t>(out.size(), file_.size() - offset);
  std::memcpy(out.data(), file_.data() + offset, n);
}

void Recording::read_vqm_page(uint32_t page, std::span<uint8_t, kVqmPageSize> out) const {
  // The audio position becomes a file position by adding every gap before it.
  uint64_t pos = kVqmPageSize * uint64_t{page};
  std::size_t next = 0;
  while (next < gaps_.size() && gaps_[next].start < pos) {
    pos += gaps_[next].end - gaps_[next].start;
    ++next;
  }
  std::size_t filled = 0;
  while (filled < out.size()) {
    while (next < gaps_.size() && gaps_[next].start == pos) pos = gaps_[next++].end;
    uint64_t run = out.size() - filled;
    if (next < gaps_.size()) run = std::min(run, gaps_[next].start - pos);
    read_at(audio_base_ + pos, out.subspan(filled, run));
    pos += run;
    filled += run;
  }
}

std::size_t Recording::page_codes(uint32_t page, std::span<uint8_t, kMaxCodes> codes) const {
  uint8_t bytes[kVqrPageSize];
  if (container_ == Container::Vqr) {
    read_at(kVqrHeaderSize + kVqrPageSize * uint64_t{page}, bytes);
  } else {
    read_vqm_page(page, std::span<uint8_t, kVqmPageSize>(bytes, kVqmPageSize));
  }
  const ModeDescriptor& d = modes_[page_modes_[page]];
  const auto count = static_cast<std::size_t>(d.codes_per_page());
  const auto mask = static_cast<uint32_t>((1u << d.code_bits) - 1);
  const uint8_t* packed = bytes;
  uint32_t held_bits = 0;
  int held = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (held < d.code_bits) {
      held_bits |= static_cast<uint32_t>(*packed++) << held;
      held += 8;
    }
    codes[i] = static_cast<uint8_t>(held_bits & mask);
    held_bits >>= d.code_bits;
    held -= d.code_bits;
  }
  return count;
}

namespace {

std::variant<Recording, Refusal> refuse(uint64_t offset, std::string what) {
  return Refusal{offset, std::move(what)};
}

}  // namespace

std::variant<Recording, Refusal> read_recording(Container container,
                                                std::span<const uint8_t> file) {
  Recording r;
  r.container_ = container;
  r.file_ = file;
  const uint64_t size = file.size();

  if (container == Container::Vqr) {
    uint8_t h[kVqrHeaderSize];
    r.read_at(0, h);
    if (std::memcmp(&h[0], "OIFF", 4) != 0) return refuse(0, "magic must be OIFF");
    if (size < kVqrHeaderSize) return refuse(size, cut_short(size, kVqrHeaderSize));
    if (std::memcmp(&h[8], "WAVE", 4) != 0) return refuse(8, "form type must be WAVE");
    if (std::memcmp(&h[12], "fmt ", 4) != 0) return refuse(12, "format block must be 'fmt '");
    if (h[60] > 2) return refuse(60, "file mode must be 0, 1 or 2");
    if (!is_rate_code(h[61])) return refuse(61, "SP rate code must be 7, 8 or 11");
    if (!is_code_bits(h[62])) return refuse(62, "SP code bits must be 2, 3 or 4");
    if (!is_rate_code(h[66])) return refuse(66, "LP rate code must be 7, 8 or 11");
    if (!is_code_bits(h[67])) return refuse(67, "LP code bits must be 2, 3 or 4");
    if (std::memcmp(&h[84], "data", 4) != 0) return refuse(84, "data block must be 'data'");
    for (const Mode mode : {kSp, kLp}) {
      const uint8_t* d = &h[mode == kSp ? 61 : 66];
      r.modes_[mode] = {d[0], d[1], static_cast<int>(le16(d + 2)), d[4]};
      if (!fits_page(r.modes_[mode])) {
        return refuse(mode == kSp ? 63 : 68, mode == kSp ? "SP descriptor does not fit a page"
                                                         : "LP descriptor does not fit a page");
      }
    }
    // Pages lie at 528-byte steps whatever the field says; another size would
    // count pages that are not in the file.
    if (le16(&h[58]) != kVqrPageSize) return refuse(58, "page size must be 528");
    const uint64_t pages = (size - kVqrHeaderSize) / kVqrPageSize;
    r.page_modes_.resize(pages);
    for (uint64_t p = 0; p < pages; ++p) {
      r.page_modes_[p] = file[kVqrHeaderSize + kVqrPageSize * p + kVqrFlagOffset] & 1;
    }
  } else {
    uint8_t magic[8];
    r.read_at(0, magic);
    if (std::string_view(reinterpret_cast<const char*>(magic), 8) != "VQ_VOICE")
      return refuse(0, "magic must be VQ_VOICE");
    if (size < kVqmHeaderSize) return refuse(size, cut_short(size, kVqmHeaderSize));
    r.modes_[kSp] = {11, 3, 510, 0};
    r.modes_[kLp] = {8, 2, 510, 0};

    const auto length = static_cast<int32_t>(be32(&file[kDirectoryLengthOffset]));
    const int64_t entries = length > 0 ? length / static_cast<int32_t>(kEntrySize) : 0;
    if (kDirectoryOffset + static_cast<uint64_t>(entries) * kEntrySize > size) {
      return refuse(kDirectoryLengthOffset, "chunk directory of " + std::to_string(entries) +
                                                " entries runs past the end of the file");
    }
    // Entries before the first gap opening add up to the audio base; then each
    // type-4 entry opens a gap after that many audio bytes and a type-3 entry
    // closes it after that many gap bytes. Other entries carry no meaning there,
    // and a gap still open at the end is no gap.
    bool in_gaps = false, gap_open = false;
    uint64_t open_start = 0, previous_end = 0, gap_total = 0;
    for (int64_t i = 0; i < entries; ++i) {
      const uint64_t at = kDirectoryOffset + static_cast<uint64_t>(i) * kEntrySize;
      const uint8_t type = file[at];
      const uint32_t entry_length = be32(&file[at + 4]);
      if (!in_gaps && type != kGapOpen) {
        r.audio_base_ += entry_length;
        continue;
      }
      in_gaps = true;
      if (type == kGapOpen) {
        if (!gap_open && r.gaps_.size() >= kMaxGaps)
          return refuse(at, "chunk directory opens more than 5000 gaps");
        gap_open = true;
        open_start = previous_end + entry_length;
      } else if (type == kGapClose && gap_open) {
        previous_end = open_start + entry_length;
        r.gaps_.push_back({open_start, previous_end});
        gap_total += entry_length;
        gap_open = false;
      }
    }
    const uint64_t taken = r.audio_base_ + gap_total;
    const uint64_t pages = taken < size ? (size - taken) / kVqmPageSize : 0;
    r.page_modes_.assign(pages, file[kVqmModeOffset] == kVqmSpMode ? kSp : kLp);
  }

  if (r.page_modes_.empty()) return refuse(size, "the file holds no whole page of audio");
  if (r.page_modes_.size() > UINT32_MAX) return refuse(size, "the file holds too many pages");
  r.sp_pages_ = static_cast<uint32_t>(std::count(r.page_modes_.begin(), r.page_modes_.end(), 0));
  r.lp_pages_ = static_cast<uint32_t>(r.page_modes_.size()) - r.sp_pages_;
  return r;
}

}  // namespace calendo::gst
