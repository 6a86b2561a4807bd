// A recorder file as a player of the whole recording reads it: the core's
// description of the file, the mode of every page, and the code words of one
// page (vqm gaps skipped, bytes past the end as 0xFF).
//
// Stricter than read_recording() where a file would otherwise play noise: a
// header cut short, a vqr page size other than 528 (pages that are not in the
// file), a vqm directory running past the end, and a file without a whole
// page are refused. A value the caller owns; reading keeps no other state.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "calendo/byte_source.h"
#include "calendo/fault.h"
#include "calendo/recording.h"

namespace calendo {

class RecordingPages {
 public:
  // Reads the header (and the page flags) of `file`, which must outlive the
  // result. The container comes from the file's magic.
  static Result<RecordingPages> read(const ByteSource& file);

  const ByteSource& source() const { return *file_; }
  const Recording& recording() const { return recording_; }
  Container container() const { return recording_.container; }
  const ModeDescriptor& descriptor(int mode) const { return recording_.modes[mode]; }
  uint32_t page_count() const { return recording_.page_count; }
  int page_mode(uint32_t page) const { return page_modes_[page]; }
  uint32_t pages_of(int mode) const { return pages_of_[mode]; }
  bool both_modes() const { return pages_of_[kSp] > 0 && pages_of_[kLp] > 0; }

  // Unpacks the code words of `page` (one per byte) into `codes` and returns
  // how many there are. REQUIRES: page < page_count().
  std::size_t page_codes(uint32_t page, std::span<uint8_t, kMaxPageCodes> codes) const;

  // page_codes() for pages first ... first + count - 1, their codes one after
  // the other, the pages of a vqr file read at once. REQUIRES: the pages are
  // in the file's count; `codes` has room for their codes and kMaxPageCodes more.
  std::size_t pages_codes(uint32_t first, uint32_t count, uint8_t* codes) const;

 private:
  // Unpacks the code words of `page` from its bytes `page_bytes`.
  std::size_t unpack_page(uint32_t page, const uint8_t* page_bytes, uint8_t* codes) const;

  RecordingPages(const ByteSource& file, Recording recording)
      : file_(&file), recording_(std::move(recording)) {}

  const ByteSource* file_;
  Recording recording_;
  std::vector<uint8_t> page_modes_;
  uint32_t pages_of_[2] = {0, 0};
};

}  // namespace calendo
