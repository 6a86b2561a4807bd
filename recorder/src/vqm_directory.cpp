#include "vqm_directory.h"

#include <algorithm>
#include <array>

namespace kestrune {
namespace {

constexpr uint64_t kDirectoryOffset = 80;
constexpr uint64_t kDirectoryLengthOffset = 92;
constexpr uint64_t kEntrySize = 8;
constexpr uint64_t kEntriesPerRead = 512;

enum EntryType : uint8_t { kGapClose = 3, kGapOpen = 4 };

class DirectoryWalk {
 public:
  // False when the directory opens one gap too many.
  bool add(uint8_t type, uint32_t length) {
    if (!in_gaps_ && type != kGapOpen) {
      layout_.audio_base += length;
      return true;
    }
    in_gaps_ = true;
    if (type == kGapOpen) {
      if (!gap_open_) {
        if (layout_.gaps.size() >= kVqmMaxGaps) return false;
        gap_open_ = true;
      }
      open_start_ = previous_end_ + length;  // a repeated opening moves the start
    } else if (type == kGapClose && gap_open_) {
      previous_end_ = open_start_ + length;
      layout_.gaps.push_back({open_start_, previous_end_});
      layout_.gap_total += length;
      gap_open_ = false;
    }
    // Other types, and a closing with no gap open, carry no meaning here. A gap
    // still open at the end is no gap: its bytes are audio.
    return true;
  }

  VqmLayout take() { return std::move(layout_); }

 private:
  VqmLayout layout_;
  bool in_gaps_ = false;
  bool gap_open_ = false;
  uint64_t open_start_ = 0;
  uint64_t previous_end_ = 0;
};

}  // namespace

Result<VqmLayout> read_vqm_layout(const RecorderFile& file) {
  const auto length = static_cast<int32_t>(file.be32_at(kDirectoryLengthOffset));
  const int64_t declared = length / static_cast<int32_t>(kEntrySize);  // toward zero
  const uint64_t present =
      file.size() > kDirectoryOffset ? (file.size() - kDirectoryOffset) / kEntrySize : 0;
  const uint64_t entries = declared > 0 ? std::min<uint64_t>(declared, present) : 0;

  DirectoryWalk walk;
  std::array<uint8_t, kEntriesPerRead * kEntrySize> chunk;
  for (uint64_t first = 0; first < entries; first += kEntriesPerRead) {
    const uint64_t count = std::min(kEntriesPerRead, entries - first);
    const auto bytes = std::span(chunk).first(count * kEntrySize);
    file.read_at(kDirectoryOffset + first * kEntrySize, bytes);
    for (uint64_t i = 0; i < count; ++i) {
      const uint8_t* e = &bytes[i * kEntrySize];
      const uint32_t entry_length = static_cast<uint32_t>(e[4]) << 24 |
                                    static_cast<uint32_t>(e[5]) << 16 |
                                    static_cast<uint32_t>(e[6]) << 8 | e[7];
      if (!walk.add(e[0], entry_length)) {
        return Fault{Failure::WrongKind, kDirectoryOffset + (first + i) * kEntrySize,
                     "directory opens more than 5000 gaps"};
      }
    }
  }
  return walk.take();
}

uint32_t vqm_page_count(const RecorderFile& file, const VqmLayout& layout) {
  const uint64_t taken = layout.audio_base + layout.gap_total;
  if (taken >= file.size()) return 0;
  return static_cast<uint32_t>(
      std::min<uint64_t>((file.size() - taken) / kVqmPageSize, UINT32_MAX));
}

}  // namespace kestrune
