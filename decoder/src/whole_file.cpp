// AdpcmDec1: a whole vqr file into a WAV file, in a header call and page calls.
#include <cstdint>
#include <cstring>

#include <fcntl.h>

#include <algorithm>
#include <array>

#include "calendo/byte_order.h"
#include "calendo/byte_source.h"
#include "calendo/code_unpacking.h"
#include "calendo/container.h"
#include "calendo/io.h"
#include "calendo/page_shape.h"
#include "calendo/recording.h"
#include "calendo/wav_header.h"
#include "library_state.h"
#include "tesmor.h"

namespace tesmor {
namespace {

using calendo::kVqrHeaderSize;
using calendo::kVqrPageSize;

bool valid_mode(const Mode& m) {
  return calendo::is_rate_code(m.rate_code) && calendo::is_code_bits(m.code_bits);
}

std::size_t page_codes(const Mode& m) {
  return calendo::page_code_count(m.code_bits, m.rate_code);
}

calendo::PageShape page_shape(const Mode& m, int file_mode) {
  return calendo::whole_file_shape(m.rate_code, m.code_bits, file_mode == calendo::kFileModeBoth);
}

int64_t page_samples(const Mode& m, int file_mode) {
  return static_cast<int64_t>(calendo::shaped_count(page_shape(m, file_mode), page_codes(m)));
}

Mode mode_at(const uint8_t* descriptor) {
  return {descriptor[calendo::kDescriptorRate], descriptor[calendo::kDescriptorBits]};
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

  uint8_t header[kVqrHeaderSize];
  {
    const calendo::Result<calendo::UniqueFd> source = calendo::open_fd(source_path, O_RDONLY);
    if (!source.ok()) return TESMOR_DEC1_SOURCE_FAILED;
    const calendo::Result<std::size_t> got = calendo::read_full(source->get(), header);
    if (!got.ok() || got.value() < kVqrHeaderSize || !calendo::has_vqr_magic(header)) {
      return TESMOR_DEC1_NOT_RECORDER;
    }
  }

  const int file_mode = header[calendo::kVqrFileModeOffset];
  const Mode sp = mode_at(header + calendo::kVqrSpModeOffset);
  const Mode lp = mode_at(header + calendo::kVqrLpModeOffset);
  const int32_t pages =
      static_cast<int32_t>(calendo::le32(header + calendo::kVqrDataLengthOffset) / kVqrPageSize);
  int64_t samples = 0;
  uint32_t rate = 11025;
  switch (file_mode) {
    case calendo::kFileModeSp:
    case calendo::kFileModeLp: {
      const Mode& m = file_mode == calendo::kFileModeSp ? sp : lp;
      if (!valid_mode(m)) return TESMOR_UNSUPPORTED;
      samples = pages * page_samples(m, file_mode);
      rate = calendo::conversion_rate(m.rate_code, false);
      break;
    }
    case calendo::kFileModeBoth:
      if (!valid_mode(sp) || !valid_mode(lp) || sp_pages < 0 || lp_pages < 0) {
        return TESMOR_UNSUPPORTED;
      }
      samples = sp_pages * page_samples(sp, file_mode) + lp_pages * page_samples(lp, file_mode);
      break;
    default:
      return TESMOR_UNSUPPORTED;
  }
  const int64_t length = std::min<int64_t>(samples * out_bits, calendo::kMaxWavData);
  const auto wav =
      calendo::wav_header(rate, static_cast<uint16_t>(8 * out_bits), static_cast<uint32_t>(length));

  calendo::Result<calendo::UniqueFd> dest =
      calendo::open_fd(dest_path, O_WRONLY | O_CREAT | O_TRUNC);
  if (!dest.ok() || !calendo::write_all(dest->get(), wav).ok() || !dest->close().ok())
    return TESMOR_DEC1_DEST_FAILED;
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
  const calendo::Result<calendo::RecorderFile> source = calendo::RecorderFile::open(saved.source);
  if (!source.ok()) return TESMOR_DEC1_PAGE_SOURCE_FAILED;
  calendo::Result<calendo::UniqueFd> dest =
      calendo::open_fd(saved.dest, O_WRONLY | O_CREAT | O_APPEND);
  if (!dest.ok()) return TESMOR_DEC1_PAGE_DEST_FAILED;

  calendo::PageWork work;
  std::array<uint8_t, kVqrPageSize> page;
  uint8_t codes[calendo::kMaxPageCodes];
  uint8_t bytes[calendo::kMaxShapedSamples * 2];
  std::size_t last_codes = 0;
  for (int64_t p = first_page; p <= last_page; ++p) {
    source->read_padded(calendo::vqr_page_offset(static_cast<uint64_t>(p)), page);
    const bool lp_page =
        saved.file_mode == calendo::kFileModeLp ||
        (saved.file_mode == calendo::kFileModeBoth && calendo::vqr_page_mode(page) == calendo::kLp);
    const Mode& m = lp_page ? saved.lp : saved.sp;
    last_codes = page_codes(m);
    calendo::unpack_codes(page.data(), last_codes, m.code_bits, codes);
    const auto y = calendo::decode_page(library_codec(), {codes, last_codes}, m.code_bits,
                                        page_shape(m, saved.file_mode), work);
    const std::size_t size = calendo::pcm_bytes(y, out_bits, bytes);
    if (!calendo::write_all(dest->get(), {bytes, size}).ok()) return TESMOR_DEC1_PAGE_DEST_FAILED;
  }
  if (!dest->close().ok()) return TESMOR_DEC1_PAGE_DEST_FAILED;
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
