// A recorder file as the element plays it: calendo-core's description of the
// file, the mode of every page, and the code words of one page, read the way
// the conversion reads them (vqm gaps skipped, bytes past the end as 0xFF).
//
// Stricter than the core's reading where a file would otherwise play noise: a
// header cut short, a vqr page size other than 528 (pages that are not in the
// file), a vqm directory running past the end, and a file without a whole
// page are refused. A value the caller owns; reading keeps no other state.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "calendo/recorder_file.h"
#include "calendo/recording.h"

namespace calendo::gst {

enum Mode : int { kSp = 0, kLp = 1 };

inline constexpr std::size_t kMaxCodes = kMaxPageCodes;

// Why a file is refused: where (a byte offset) and what is wrong there.
struct Refusal {
  uint64_t offset;
  std::string what;
};

class RecordingPages {
 public:
  // Reads the header (and the page flags) of `file`, which must outlive the
  // result. The container comes from the file's magic.
  static std::variant<RecordingPages, Refusal> read(const RecorderFile& file);

  Container container() const { return recording_.container; }
  const ModeDescriptor& descriptor(Mode mode) const { return recording_.modes[mode]; }
  uint32_t page_count() const { return recording_.page_count; }
  Mode page_mode(uint32_t page) const { return static_cast<Mode>(page_modes_[page]); }
  uint32_t pages_of(Mode mode) const { return pages_of_[mode]; }

  // Unpacks the code words of `page` (one per byte) into `codes` and returns
  // how many there are. REQUIRES: page < page_count().
  std::size_t page_codes(uint32_t page, std::span<uint8_t, kMaxCodes> codes) const;

 private:
  RecordingPages(const RecorderFile& file, Recording recording)
      : file_(&file), recording_(std::move(recording)) {}

  const RecorderFile* file_;
  Recording recording_;
  std::vector<uint8_t> page_modes_;
  uint32_t pages_of_[2] = {0, 0};
};

}  // namespace calendo::gst
