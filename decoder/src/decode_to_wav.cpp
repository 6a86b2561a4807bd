// Conversion page by page: the WAV header first, then each page appended.
#include <bit>
#include <cstdint>
#include <cstring>

#include "calendo/code_unpacking.h"
#include "calendo/pcm_rate.h"
#include "calendo/wav_header.h"
#include "file_io.h"
#include "library_state.h"
#include "page_decode.h"
#include "tesmor.h"

namespace tesmor {
namespace {

uint32_t single_mode_rate(int rate_code) {
  return rate_code == 11 ? 11025 : 8000;
}

// Samples one page of a mode gives in the output; `both` when the file holds
// pages of both modes (and is converted to 11025 Hz).
int64_t samples_per_page(bool sp, int rate_code, bool both) {
  switch (rate_code) {
    case 7:
      return both ? 3215 : 2338;
    case 8:
      return both ? (sp ? 1408 : 2816) : (sp ? 1024 : 2048);
    default:
      return sp ? 1360 : 2046;
  }
}

PageShape decx_shape(int target, int rate_code, int code_bits) {
  switch (rate_code) {
    case 7:
      return {target == TESMOR_TARGET_8K ? Shape::Expand7to8 : Shape::Expand7to11};
    case 8:
      if (target == TESMOR_TARGET_8K) return {Shape::Fixed, code_bits == 2 ? 2048u : 1024u};
      return {Shape::Expand8to11, groups_of_8(code_bits)};
    default:
      return {Shape::AsDecoded};
  }
}

bool decodes_page(int rate_code, int code_bits, int out_bits, int target) {
  return calendo::is_rate_code(rate_code) && calendo::is_code_bits(code_bits) &&
         valid_out_bits(out_bits) && (target == TESMOR_TARGET_8K || target == TESMOR_TARGET_11K);
}

// Opens first, so that a file that cannot be opened leaves the codec as it was.
int32_t append_page(const char* path, std::span<const uint8_t> codes, int codec_bits,
                    PageShape shape, int out_bits) {
  File file = File::append(path);
  if (!file.is_open()) return TESMOR_CANNOT_OPEN;
  PageWork work;
  const auto y = decode_page(library_codec(), codes, codec_bits, shape, work);
  bool written;
  if (out_bits == 2 && std::endian::native == std::endian::little) {
    written = file.write_all(y.data(), y.size_bytes());  // already the file's byte form
  } else {
    uint8_t bytes[kMaxSamples * 2];
    written = file.write_all(bytes, calendo::pcm_bytes(y, out_bits, bytes));
  }
  if (!written || !file.close()) return TESMOR_CANNOT_OPEN;
  return static_cast<int32_t>(y.size());
}

}  // namespace
}  // namespace tesmor

extern "C" int32_t AdpcmDecHeader(const char* path, int32_t out_bits, int32_t sp_rate,
                                  int32_t lp_rate, int32_t /*sp_code_bits*/,
                                  int32_t /*lp_code_bits*/, int32_t sp_pages, int32_t lp_pages,
                                  uint8_t* header) {
  using namespace tesmor;
  if (path == nullptr || header == nullptr || !valid_out_bits(out_bits) ||
      !calendo::is_rate_code(sp_rate) || !calendo::is_rate_code(lp_rate) || sp_pages < 0 ||
      lp_pages < 0) {
    return TESMOR_UNSUPPORTED;
  }
  const bool both = sp_pages > 0 && lp_pages > 0;
  uint32_t rate = 11025;
  if (!both) rate = single_mode_rate(lp_pages > 0 ? lp_rate : sp_rate);
  const int64_t samples = sp_pages * samples_per_page(true, sp_rate, both) +
                          lp_pages * samples_per_page(false, lp_rate, both);
  const int64_t length = samples * out_bits;
  if (length > INT32_MAX) return TESMOR_UNSUPPORTED;

  const auto wav =
      calendo::wav_header(rate, static_cast<uint16_t>(8 * out_bits), static_cast<uint32_t>(length));
  File file = File::create(path);
  if (!file.is_open() || !file.write_all(wav.data(), wav.size()) || !file.close()) {
    return TESMOR_CANNOT_OPEN;
  }
  std::memcpy(header, wav.data(), wav.size());
  return static_cast<int32_t>(length);
}

extern "C" int32_t AdpcmDecx(const char* path, uint8_t* codes, int32_t rate_code, int32_t code_bits,
                             int32_t count, int32_t out_bits, int32_t target) {
  using namespace tesmor;
  if (target == TESMOR_TARGET_RESET) {
    if (codes != nullptr) codes[0] = 1;
    library_codec().adpcm_reset_state();
    return 0;
  }
  if (!decodes_page(rate_code, code_bits, out_bits, target) || count < 0 ||
      count > TESMOR_MAX_CODES || codes == nullptr || path == nullptr) {
    return TESMOR_UNSUPPORTED;
  }
  return append_page(path, {codes, static_cast<std::size_t>(count)}, code_bits,
                     decx_shape(target, rate_code, code_bits), out_bits);
}

extern "C" int32_t AdpcmDecxNew(int16_t code_bits, int16_t full_bytes, int16_t extra_bits,
                                const uint8_t* packed, uint8_t* codes, const char* path,
                                int32_t rate_code, int32_t codec_bits, int32_t out_bits,
                                int32_t target) {
  using namespace tesmor;
  if (target == TESMOR_TARGET_RESET) {
    if (codes != nullptr) codes[0] = 1;
    library_codec().adpcm_reset_state();
    return 0;
  }
  if (!decodes_page(rate_code, codec_bits, out_bits, target) || !calendo::is_code_bits(code_bits) ||
      full_bytes < 0 || extra_bits < 0 || packed == nullptr || codes == nullptr ||
      path == nullptr) {
    return TESMOR_UNSUPPORTED;
  }
  const int64_t count = (8 * int64_t{full_bytes} + extra_bits) / code_bits;
  if (count > TESMOR_MAX_CODES) return TESMOR_UNSUPPORTED;

  const auto n = static_cast<std::size_t>(count);
  calendo::unpack_codes(packed, n, code_bits, codes);
  PageShape shape = decx_shape(target, rate_code, codec_bits);
  if (rate_code == 8) shape = {Shape::Expand8to11, groups_of_8(codec_bits)};
  return append_page(path, {codes, n}, codec_bits, shape, out_bits);
}
