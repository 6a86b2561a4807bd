#include <algorithm>
#include <array>
#include <cstring>

#include "calendo/byte_order.h"
#include "calendo/vqm_format.h"

namespace calendo {
namespace {

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

Result<VqmLayout> read_vqm_layout(const ByteSource& file) {
  const auto length = static_cast<int32_t>(file.be32_at(kVqmDirectoryLengthOffset));
  const int64_t declared = length / static_cast<int32_t>(kVqmEntrySize);  // toward zero
  const uint64_t present =
      file.size() > kVqmDirectoryOffset ? (file.size() - kVqmDirectoryOffset) / kVqmEntrySize : 0;
  const uint64_t entries = declared > 0 ? std::min<uint64_t>(declared, present) : 0;

  DirectoryWalk walk;
  std::array<uint8_t, kEntriesPerRead * kVqmEntrySize> chunk;
  for (uint64_t first = 0; first < entries; first += kEntriesPerRead) {
    const uint64_t count = std::min(kEntriesPerRead, entries - first);
    const auto bytes = std::span(chunk).first(count * kVqmEntrySize);
    file.read_padded(kVqmDirectoryOffset + first * kVqmEntrySize, bytes);
    for (uint64_t i = 0; i < count; ++i) {
      const uint8_t* e = &bytes[i * kVqmEntrySize];
      if (!walk.add(e[0], be32(e + 4))) {
        return Fault{Failure::WrongKind, kVqmDirectoryOffset + (first + i) * kVqmEntrySize,
                     "directory opens more than 5000 gaps"};
      }
    }
  }
  return walk.take();
}

uint32_t vqm_page_count(const ByteSource& file, const VqmLayout& layout) {
  const uint64_t taken = layout.audio_base + layout.gap_total;
  if (taken >= file.size()) return 0;
  return static_cast<uint32_t>(
      std::min<uint64_t>((file.size() - taken) / kVqmPageSize, UINT32_MAX));
}

void read_vqm_page(const ByteSource& file, const VqmLayout& layout, int32_t page,
                   std::span<uint8_t, kVqmPageSize> out) {
  if (page < 0) {
    std::memset(out.data(), 0xFF, out.size());
    return;
  }
  const std::vector<VqmGap>& gaps = layout.gaps;
  // Turn the audio position into a file position by adding every gap before it.
  uint64_t pos = kVqmPageSize * static_cast<uint64_t>(page);
  size_t next = 0;
  while (next < gaps.size() && gaps[next].start < pos) {
    pos += gaps[next].end - gaps[next].start;
    ++next;
  }
  size_t filled = 0;
  while (filled < out.size()) {
    // Jump every gap that starts here; gaps may follow each other directly.
    while (next < gaps.size() && gaps[next].start == pos) pos = gaps[next++].end;
    uint64_t run = out.size() - filled;
    if (next < gaps.size()) run = std::min(run, gaps[next].start - pos);
    file.read_padded(layout.audio_base + pos, out.subspan(filled, run));
    pos += run;
    filled += run;
  }
}

}  // namespace calendo
