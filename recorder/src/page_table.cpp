// pb_splptblmk, splp_pageno and get_time: the mode of every page and what
// follows from it.
#include <algorithm>
#include <array>
#include <cstring>

#include "calendo/recorder_file.h"
#include "calendo/vqm_format.h"
#include "calendo/vqr_format.h"
#include "kestrune.h"

namespace {

using namespace calendo;

constexpr uint64_t kPagesPerRead = 64;

// Bit 0 of each page's flag byte; pages beyond the end of the file read 0xFF.
void fill_vqr_table(const RecorderFile& file, uint8_t* table, uint32_t count) {
  std::array<uint8_t, kPagesPerRead * kVqrPageSize> chunk;
  uint64_t page = 0;
  while (page < count) {
    const uint64_t flag_offset = vqr_page_offset(page) + kVqrFlagOffset;
    if (flag_offset >= file.size()) break;
    const uint64_t pages = std::min<uint64_t>(kPagesPerRead, count - page);
    const auto bytes = std::span(chunk).first((pages - 1) * kVqrPageSize + 1);
    file.read_at(flag_offset, bytes);
    for (uint64_t i = 0; i < pages; ++i) table[page + i] = bytes[i * kVqrPageSize] & 1;
    page += pages;
  }
  std::memset(table + page, 1, count - page);
}

}  // namespace

extern "C" int16_t pb_splptblmk(const char* path, uint8_t* table, uint32_t count, int16_t kind) {
  if (kind != KESTRUNE_VQR && kind != KESTRUNE_VQM) return KESTRUNE_CANNOT_OPEN;
  if (table == nullptr && count > 0) return KESTRUNE_CANNOT_OPEN;
  const calendo::Result<calendo::RecorderFile> file = calendo::RecorderFile::open(path);
  if (!file.ok()) return KESTRUNE_CANNOT_OPEN;
  if (kind == KESTRUNE_VQR) {
    fill_vqr_table(file.value(), table, count);
  } else {
    const uint8_t mode =
        file.value().byte_at(calendo::kVqmModeOffset) == calendo::kVqmSpMode ? 0 : 1;
    std::memset(table, mode, count);
  }
  return 0;
}

extern "C" int16_t splp_pageno(const uint8_t* table, uint32_t* counts, uint32_t count) {
  if (counts == nullptr || (table == nullptr && count > 0)) return 0;
  uint32_t sp = 0;
  uint32_t lp = 0;
  for (uint32_t i = 0; i < count; ++i) {
    sp += table[i] == 0;
    lp += table[i] == 1;
  }
  counts[0] = sp;
  counts[1] = lp;
  return 0;
}

extern "C" int32_t get_time(const uint8_t* table, uint32_t last_page, int32_t sp_ms,
                            int32_t lp_ms) {
  if (table == nullptr) return 0;
  const auto sp = static_cast<uint32_t>(sp_ms);
  const auto lp = static_cast<uint32_t>(lp_ms);
  uint32_t total = 0;  // wraps like the 32-bit sum it is
  for (uint64_t i = 0; i <= last_page; ++i) {
    if (table[i] == 0)
      total += sp;
    else if (table[i] == 1)
      total += lp;
  }
  return static_cast<int32_t>(total);
}
