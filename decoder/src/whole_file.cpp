// AdpcmDec1: a whole vqr file into a WAV file, in a header call and page calls.
#include <cstdint>
#include <cstring>

#include "calendo/byte_order.h"
#include "calendo/code_unpacking.h"
#include "calendo/pcm_rate.h"
#include "calendo/vqr_format.h"
#include "calendo/wav_header.h"
#include "file_io.h"
#include "library_state.h"
#include "page_decode.h"
#include "tesmor.h"

namespace tesmor {
namespace {

using calendo::kVqrFlagOffset;
using calendo::kVqrHeaderSize;
using calendo::kVqrPageSize;
// The largest data length the WAV header's fields can announce.
constexpr int64_t kMaxWavData = int64_t{UINT32_MAX} - 36;

bool valid_mode(const Mode& m) {
  return calendo::is_rate_code(m.rate_code) && calendo::is_code_bits(m.code_bits);
}

std::size_t page_codes(const Mode& m) {
  return calendo::page_code_count(m.code_bits, m.rate_code);
}

// Pages of file modes 0 and 1 keep their rate; 7 kHz pages repeat group heads.
PageShape own_rate_shape(const Mode& m) {
  return {m.rate_code == 7 ? Shape::RepeatHeads7 : Shape::AsDecoded};
}

// Pages of file mode 2 are brought to 11025 Hz.
PageShape mixed_shape(const Mode& m) {
  switch (m.rate_code) {
    case 7:
      return {Shape::Expand7to11};
    case 8:
      return {Shape::Expand8to11, groups_of_8(m.code_bits)};
    default:
      return {Shape::AsDecoded};
  }
}

int64_t own_rate_samples(const Mode& m) {
  const std::size_t codes = page_codes(m);
  return static_cast<int64_t>(m.rate_code == 7 ? calendo::repeat_heads_7_count(codes) : codes);
}

int64_t mixed_samples(const Mode& m) {
  switch (m.rate_code) {
    case 7:
      return calendo::kSamples7to11;
    case 8:
      return static_cast<int64_t>(groups_of_8(m.code_bits) * 11);
    default:
      return static_cast<int64_t>(page_codes(m));
  }
}

int32_t header_call(const char* source_path, const char* dest_path, int32_t out_bits,
                    int32_t sp_pages, int32_t lp_pages, uint8_t* info) {
  SavedConversion& saved = saved_conversion();
  saved.valid = false;
  if (source_path == nullptr || dest_path == nullptr || info == nullptr ||
      !valid_out_bits(out_bits)) {
    return TESMOR_UNSUPPORTED;
  }
  if (!save_path(source_path, saved.source)) return TESMOR_DEC1_SOURCE_FAILED;
  if (!save_path(dest_path, saved.dest)) return TESMOR_DEC1_DEST_FAILED;

  File source = File::open_read(source_path);
  if (!source.is_open()) return TESMOR_DEC1_SOURCE_FAILED;
  uint8_t header[kVqrHeaderSize];
  if (source.read_up_to(header, kVqrHeaderSize) < kVqrHeaderSize ||
      std::memcmp(header, "OIFF", 4) != 0) {
    return TESMOR_DEC1_NOT_RECORDER;
  }
  source.close();

  const int file_mode = header[calendo::kVqrFileModeOffset];
  const Mode sp{header[61], header[62]};
  const Mode lp{header[66], header[67]};
  const int32_t pages =
      static_cast<int32_t>(calendo::le32(header + calendo::kVqrDataLengthOffset) / kVqrPageSize);
  int64_t samples = 0;
  uint32_t rate = 11025;
  switch (file_mode) {
    case 0:
    case 1: {
      const Mode& m = file_mode == 0 ? sp : lp;
      if (!valid_mode(m)) return TESMOR_UNSUPPORTED;
      samples = pages * own_rate_samples(m);
      rate = m.rate_code == 11 ? 11025 : 8000;
      break;
    }
    case 2:
      if (!valid_mode(sp) || !valid_mode(lp) || sp_pages < 0 || lp_pages < 0) {
        return TESMOR_UNSUPPORTED;
      }
      samples = sp_pages * mixed_samples(sp) + lp_pages * mixed_samples(lp);
      break;
    default:
      return TESMOR_UNSUPPORTED;
  }
  int64_t length = samples * out_bits;
  if (length > kMaxWavData) length = kMaxWavData;
  const auto wav =
      calendo::wav_header(rate, static_cast<uint16_t>(8 * out_bits), static_cast<uint32_t>(length));

  File dest = File::create(dest_path);
  if (!dest.is_open() || !dest.write_all(wav.data(), wav.size()) || !dest.close()) {
    return TESMOR_DEC1_DEST_FAILED;
  }
  library_codec().adpcm_reset_state();
  saved.file_mode = file_mode;
  saved.sp = sp;
  saved.lp = lp;
  saved.valid = true;
  std::memcpy(info, header, kVqrHeaderSize);
  std::memcpy(info + kVqrHeaderSize, wav.data(), wav.size());
  return pages;
}

int32_t page_call(int32_t out_bits, int32_t first_page, int32_t last_page) {
  const SavedConversion& saved = saved_conversion();
  if (!saved.valid) return TESMOR_DEC1_PAGE_SOURCE_FAILED;
  if (!valid_out_bits(out_bits) || first_page < 0 || last_page < first_page) {
    return TESMOR_UNSUPPORTED;
  }
  File source = File::open_read(saved.source);
  if (!source.is_open()) return TESMOR_DEC1_PAGE_SOURCE_FAILED;
  File dest = File::append(saved.dest);
  if (!dest.is_open()) return TESMOR_DEC1_PAGE_DEST_FAILED;
  if (!source.seek(
          static_cast<int64_t>(calendo::vqr_page_offset(static_cast<uint64_t>(first_page))))) {
    return TESMOR_DEC1_PAGE_SOURCE_FAILED;
  }

  PageWork work;
  uint8_t page[kVqrPageSize];
  uint8_t codes[kMaxCodes];
  uint8_t bytes[kMaxSamples * 2];
  std::size_t last_codes = 0;
  for (int64_t p = first_page; p <= last_page; ++p) {
    const std::size_t got = source.read_up_to(page, kVqrPageSize);
    std::memset(page + got, 0xFF, kVqrPageSize - got);
    const bool lp_page =
        saved.file_mode == 1 || (saved.file_mode == 2 && (page[kVqrFlagOffset] & 1));
    const Mode& m = lp_page ? saved.lp : saved.sp;
    const PageShape shape = saved.file_mode == 2 ? mixed_shape(m) : own_rate_shape(m);
    last_codes = page_codes(m);
    calendo::unpack_codes(page, last_codes, m.code_bits, codes);
    const auto y = decode_page(library_codec(), {codes, last_codes}, m.code_bits, shape, work);
    const std::size_t size = calendo::pcm_bytes(y, out_bits, bytes);
    if (!dest.write_all(bytes, size)) return TESMOR_DEC1_PAGE_DEST_FAILED;
  }
  if (!dest.close()) return TESMOR_DEC1_PAGE_DEST_FAILED;
  return static_cast<int32_t>(last_codes);
}

}  // namespace
}  // namespace tesmor

extern "C" int32_t AdpcmDec1(const char* source_path, const char* dest_path, int32_t out_bits,
                             int32_t first_page, int32_t last_page, uint8_t* info,
                             int32_t page_call) {
  if (page_call == 0) {
    return tesmor::header_call(source_path, dest_path, out_bits, first_page, last_page, info);
  }
  return tesmor::page_call(out_bits, first_page, last_page);
}
