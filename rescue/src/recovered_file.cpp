#include "recovered_file.h"

#include <algorithm>
#include <array>

#include "calendo/adpcm.h"
#include "calendo/byte_order.h"
#include "calendo/extent_source.h"
#include "calendo/recording.h"
#include "calendo/vqr_header.h"
#include "vqr_header_check.h"
#include "vqr_page_check.h"

namespace calendo::rescue {
namespace {

using Page = std::array<uint8_t, kVqrPageSize>;

// The standard layout's pages: SP 11 kHz 3-bit over 510 bytes, LP 7 kHz 2-bit over 511 and 4 bits.
constexpr ModeDescriptor kSpPage{11, 3, 510, 0};
constexpr ModeDescriptor kLpPage{7, 2, 511, 4};

// SP silence is all 0xFF; LP silence is what the codec makes of zeros.
Page silent_page(int mode) {
  Page page;
  page.fill(0xFF);
  page[kVqrFlagOffset] = static_cast<uint8_t>(mode);
  if (mode == kLp) {
    Adpcm codec;
    codec.adpcm_reset_state();
    std::array<int16_t, 2046> zeros{};
    std::array<uint8_t, 2046> codes{};
    codec.encode(zeros.data(), zeros.size(), 2, codes.data());
    std::fill(page.begin(), page.begin() + kCodeAreaBytes, uint8_t{0});
    for (std::size_t i = 0; i < codes.size(); ++i)
      page[i / 4] = static_cast<uint8_t>(page[i / 4] | (codes[i] & 3) << (2 * (i % 4)));
    page[511] |= 0xF0;
  }
  return page;
}

bool touches(const std::vector<FileRange>& ranges, uint64_t start, uint64_t end) {
  return std::any_of(ranges.begin(), ranges.end(),
                     [&](const FileRange& r) { return r.start < end && start < r.end; });
}

}  // namespace

RecoveredVqr recover_vqr(const ByteSource& image, const Chain& chain, bool has_header,
                         uint64_t first_page) {
  RecoveredVqr out;
  std::vector<Extent> extents;
  for (const Piece& p : chain.pieces) extents.push_back({p.image_at, p.length});
  const ExtentSource file(image, extents);
  const uint64_t base = chain.pieces.empty() ? 0 : chain.pieces.front().file_at;
  const uint64_t end = base + file.size();

  std::optional<VqrHeaderFacts> facts;
  if (has_header) facts = check_vqr_header(file, 0);
  // Pages from first_page until the last whole one.
  const uint64_t start = vqr_page_offset(first_page);
  const uint64_t whole = end > start ? (end - start) / kVqrPageSize : 0;
  std::vector<Page> pages(whole);
  int mode = facts && facts->modes == ModeRule::Lp ? kLp : kSp;
  std::vector<bool> good(whole);
  for (uint64_t k = 0; k < whole; ++k) {
    file.read_padded(start + k * kVqrPageSize - base, pages[k]);
    const uint64_t at = start + k * kVqrPageSize;
    good[k] = vqr_page_check(pages[k]).has_value() &&
              !has_zero_run(std::span(pages[k]).first(kCodeAreaBytes)) &&
              !touches(chain.damaged, at, at + kVqrPageSize);
  }
  // A lost page takes the mode of the good page before it (or after, at the start).
  const auto first_good = std::find(good.begin(), good.end(), true);
  if (first_good != good.end()) mode = pages[first_good - good.begin()][kVqrFlagOffset] & 1;
  for (uint64_t k = 0; k < whole; ++k) {
    if (good[k]) {
      mode = pages[k][kVqrFlagOffset] & 1;
    } else {
      pages[k] = silent_page(mode);
      ++out.pages_lost;
    }
    if ((pages[k][kVqrFlagOffset] & 1) == kSp) ++out.sp_pages;
  }
  out.pages = static_cast<uint32_t>(whole);

  const uint64_t size = kVqrHeaderSize + whole * kVqrPageSize;
  const uint64_t lp_pages = whole - out.sp_pages;
  out.duration_ms =
      out.sp_pages * uint64_t{kSpPage.page_ms()} + lp_pages * uint64_t{kLpPage.page_ms()};
  out.exact = has_header && facts && facts->file_size == size && end == size &&
              out.pages_lost == 0 && chain.damaged.empty();
  if (out.exact) {
    out.bytes.resize(size);
    file.read_padded(0, out.bytes);
  } else {
    out.bytes.resize(size);
    const uint64_t ms = out.duration_ms;
    const auto seconds = static_cast<uint16_t>(ms / 1000);
    const uint8_t file_mode = out.sp_pages == whole ? kFileModeSp
                              : out.sp_pages == 0   ? kFileModeLp
                                                    : kFileModeBoth;
    std::array<uint8_t, kVqrHeaderSize> header = vqr_header_bytes(
        {static_cast<uint32_t>(size), seconds, file_mode, 3, static_cast<uint16_t>(ms / 1000)});
    if (facts && facts->readable) {
      // Its own bytes, with the counts of what is there.
      std::array<uint8_t, kVqrHeaderSize> own;
      file.read_padded(0, own);
      for (uint32_t at : {4u, kVqrSpPagesOffset, kVqrDataLengthOffset})
        std::copy_n(header.begin() + at, 4, own.begin() + at);
      if (le16(&own[56]) == 0) std::copy_n(header.begin() + 56, 2, own.begin() + 56);
      if (le16(&own[kVqrSpLengthOffset]) == 0)
        std::copy_n(header.begin() + kVqrSpLengthOffset, 2, own.begin() + kVqrSpLengthOffset);
      header = own;
    } else {
      out.header_rebuilt = true;
    }
    if (facts && facts->readable && !facts->file_size) out.header_rebuilt = true;
    std::copy(header.begin(), header.end(), out.bytes.begin());
    for (uint64_t k = 0; k < whole; ++k)
      std::copy(pages[k].begin(), pages[k].end(),
                out.bytes.begin() + static_cast<std::ptrdiff_t>(vqr_page_offset(k)));
  }
  return out;
}

}  // namespace calendo::rescue
