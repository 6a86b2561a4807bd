#include "page_scan.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "calendo/container.h"
#include "vqr_page_check.h"

namespace calendo::rescue {
namespace {

constexpr uint64_t kBlock = 4u << 20;
// Blocks asked for ahead of the one scanned, so that the medium never waits.
constexpr uint64_t kAhead = 4;
// Room after a block for the marks and headers that start inside it.
constexpr uint64_t kOverlap = 2 * kVqrPageSize;
constexpr uint64_t kAllOnes = ~uint64_t{0};

bool sorted_has(const std::vector<uint64_t>& list, uint64_t value) {
  return std::binary_search(list.begin(), list.end(), value);
}

// Reads [at, at + out.size()) and gives how many bytes exist; a sector that
// cannot be read is noted and left as zeros.
uint64_t read_block(const ByteSource& image, uint64_t at, std::span<uint8_t> out,
                    std::vector<uint64_t>& unreadable) {
  const uint64_t want = std::min<uint64_t>(out.size(), image.size() - at);
  uint64_t got = image.read_at(at, out.first(want));
  while (got < want) {
    // Sector by sector past the failure.
    const uint64_t sector = (at + got) / kSectorSize * kSectorSize;
    const uint64_t sector_end = std::min(sector + kSectorSize, at + want);
    const auto piece = out.subspan(got, sector_end - at - got);
    const std::size_t read = image.read_at(at + got, piece);
    if (read < piece.size()) {
      std::memset(piece.data() + read, 0, piece.size() - read);
      if (unreadable.empty() || unreadable.back() != sector) unreadable.push_back(sector);
    }
    got = sector_end - at;
  }
  return want;
}

// The flags whose trailers lie in buf[0, length) and whose flag lies before
// `own` (the block's own bytes, without the overlap).
void find_flags(const uint8_t* buf, uint64_t length, uint64_t own, uint64_t base,
                std::vector<uint64_t>& flags) {
  // Every 15-byte run of 0xFF holds a whole aligned 8-byte word of them.
  uint64_t i = 0;
  while (i + 8 <= length) {
    uint64_t word;
    std::memcpy(&word, buf + i, 8);
    if (word != kAllOnes) {
      i += 8;
      continue;
    }
    uint64_t run_start = i;
    while (run_start > 0 && buf[run_start - 1] == 0xFF) --run_start;
    uint64_t run_end = i + 8;
    while (run_end < length && buf[run_end] == 0xFF) ++run_end;
    i = (run_end + 7) / 8 * 8;
    if (run_start < 1 || run_end - run_start < kTrailerBytes) continue;
    const uint64_t flag = run_start - 1;
    if (flag >= own || buf[flag] > 1) continue;
    if (base + flag < kVqrFlagOffset) continue;  // no room for the page before it
    if (buf[flag] == 0 && flag >= 2 && (buf[flag - 1] != 0xFF || buf[flag - 2] != 0xFF)) {
      // An SP flag needs its fill bytes; one at the very front of the block
      // was judged by the block before it.
      continue;
    }
    const uint64_t entry = (base + flag) << 1 | buf[flag];
    if (flags.empty() || flags.back() < entry) flags.push_back(entry);
  }
}

}  // namespace

bool ScanIndex::has_flag(uint64_t offset) const {
  const auto at = std::lower_bound(flags.begin(), flags.end(), offset << 1);
  return at != flags.end() && flag_at(*at) == offset;
}

int ScanIndex::mode_of_flag(uint64_t offset) const {
  return flag_mode(*std::lower_bound(flags.begin(), flags.end(), offset << 1));
}

bool ScanIndex::has_header(uint64_t offset) const {
  return sorted_has(vqr_headers, offset) || sorted_has(vqm_headers, offset);
}

bool ScanIndex::is_unreadable(uint64_t sector) const {
  return sorted_has(unreadable, sector);
}

ScanIndex scan_image(const ByteSource& image, const ScanProgress& progress,
                     const std::atomic<bool>& stop) {
  ScanIndex index;
  std::vector<uint8_t> buffer(kBlock + kOverlap);
  const uint64_t size = image.size();
  for (uint64_t base = 0; base < size; base += kBlock) {
    if (stop.load(std::memory_order_relaxed)) {
      index.stopped = true;
      break;
    }
    if (base == 0) image.will_need(0, kAhead * kBlock);
    image.will_need(base + kAhead * kBlock, kBlock);
    const uint64_t length = read_block(image, base, buffer, index.unreadable);
    const uint64_t own = std::min(kBlock, length);
    find_flags(buffer.data(), length, own, base, index.flags);
    for (uint64_t at = 0; at < own; at += kSectorSize) {
      const auto head = std::span<const uint8_t>(buffer).subspan(
          at, std::min<uint64_t>(kMagicBytes, length - at));
      const std::optional<Container> container = ContainerOfMagic(head);
      if (container == Container::Vqr) index.vqr_headers.push_back(base + at);
      if (container == Container::Vqm) index.vqm_headers.push_back(base + at);
    }
    index.scanned = base + own;
    if (progress) progress(index.scanned);
  }
  return index;
}

}  // namespace calendo::rescue
