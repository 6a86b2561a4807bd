// A recorder file held in memory, read the way the conversion reads it: the
// header (vqr) or the mode byte and chunk directory (vqm), the page count, the
// mode of every page, and the code words of one page.
//
// Bytes past the end of the file read as 0xFF, as they do for the file
// readers. Everything is checked once by read_recording(); a recording it
// returns can be walked page by page without further failures. No state is
// shared between objects: any thread may use its own.
//
// Stands in for the format types of calendo-core until that library offers
// them; it holds nothing the element needs beyond them.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace calendo::gst {

enum class Container { Vqr, Vqm };

inline constexpr std::size_t kVqrHeaderSize = 92;
inline constexpr std::size_t kVqrPageSize = 528;
inline constexpr std::size_t kVqmHeaderSize = 96;  // magic, mode byte, directory length
inline constexpr std::size_t kVqmPageSize = 510;
inline constexpr std::size_t kMaxGaps = 5000;
inline constexpr std::size_t kMaxCodes = 2048;

enum Mode : int { kSp = 0, kLp = 1 };

// One recording mode: nominal rate in kHz, bits per code word, and the length
// of a page's code stream (code bytes and extra bits).
struct ModeDescriptor {
  int rate_code = 0;
  int code_bits = 0;
  int code_bytes = 0;
  int extra_bits = 0;

  int codes_per_page() const { return (8 * code_bytes + extra_bits) / code_bits; }
};

// Why a file is refused: where (a byte offset) and what is wrong there.
struct Refusal {
  uint64_t offset;
  std::string what;
};

// A closed gap of a vqm file, in bytes relative to the audio base: [start, end).
struct Gap {
  uint64_t start;
  uint64_t end;
};

class Recording {
 public:
  Container container() const { return container_; }
  const ModeDescriptor& descriptor(Mode mode) const { return modes_[mode]; }
  uint32_t page_count() const { return static_cast<uint32_t>(page_modes_.size()); }
  Mode page_mode(uint32_t page) const { return static_cast<Mode>(page_modes_[page]); }
  uint32_t pages_of(Mode mode) const { return mode == kSp ? sp_pages_ : lp_pages_; }

  // Unpacks the code words of `page` (one per byte, its low bits) into `codes`
  // and returns how many there are. REQUIRES: page < page_count().
  std::size_t page_codes(uint32_t page, std::span<uint8_t, kMaxCodes> codes) const;

 private:
  friend std::variant<Recording, Refusal> read_recording(Container, std::span<const uint8_t>);

  void read_at(uint64_t offset, std::span<uint8_t> out) const;
  void read_vqm_page(uint32_t page, std::span<uint8_t, kVqmPageSize> out) const;

  Container container_ = Container::Vqr;
  std::span<const uint8_t> file_;
  ModeDescriptor modes_[2];
  std::vector<uint8_t> page_modes_;
  uint32_t sp_pages_ = 0;
  uint32_t lp_pages_ = 0;
  uint64_t audio_base_ = 0;  // vqm only
  std::vector<Gap> gaps_;    // vqm only
};

// Checks the file's header and lays out its pages. The recording refers to
// `file`, which must outlive it. A file without a whole page is refused.
std::variant<Recording, Refusal> read_recording(Container container, std::span<const uint8_t> file);

}  // namespace calendo::gst
