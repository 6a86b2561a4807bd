// pb_splptblmk, splp_pageno and get_time: the mode of every page and what
// follows from it.
#include <span>

#include "calendo/byte_source.h"
#include "calendo/recording.h"
#include "kestrune.h"

extern "C" int16_t pb_splptblmk(const char* path, uint8_t* table, uint32_t count, int16_t kind) {
  const std::optional<calendo::Container> container = calendo::container_of_kind(kind);
  if (!container) return KESTRUNE_CANNOT_OPEN;
  if (table == nullptr && count > 0) return KESTRUNE_CANNOT_OPEN;
  const calendo::Result<calendo::RecorderFile> file = calendo::RecorderFile::open(path);
  if (!file.ok()) return KESTRUNE_CANNOT_OPEN;
  calendo::read_page_modes(file.value(), *container, std::span(table, count));
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
