// Conversion page by page: the WAV header first, then each page appended.
#include <fcntl.h>

#include <bit>
#include <cstdint>
#include <cstring>

#include "calendo/code_unpacking.h"
#include "calendo/io.h"
#include "calendo/page_shape.h"
#include "calendo/wav_header.h"
#include "library_state.h"
#include "tesmor.h"

namespace tesmor {
namespace {

using calendo::PageShape;

static_assert(TESMOR_MAX_CODES <= calendo::kMaxDecodeCodes);

bool decodes_page(int rate_code, int code_bits, int out_bits, int target) {
  return calendo::is_rate_code(rate_code) && calendo::is_code_bits(code_bits) &&
         valid_out_bits(out_bits) && (target == TESMOR_TARGET_8K || target == TESMOR_TARGET_11K);
}

// Writes `bytes` to a file opened with `flags`; false when any step fails.
bool write_file(const char* path, int flags, std::span<const uint8_t> bytes) {
  calendo::Result<calendo::UniqueFd> file = calendo::open_fd(path, O_WRONLY | O_CREAT | flags);
  return file.ok() && calendo::write_all(file->get(), bytes).ok() && file->close().ok();
}

// Opens first, so that a file that cannot be opened leaves the codec as it was.
int32_t append_page(const char* path, std::span<const uint8_t> codes, int codec_bits,
                    PageShape shape, int out_bits) {
  calendo::Result<calendo::UniqueFd> file = calendo::open_fd(path, O_WRONLY | O_CREAT | O_APPEND);
  if (!file.ok()) return TESMOR_CANNOT_OPEN;
  calendo::PageWork work;
  const auto y = calendo::decode_page(library_codec(), codes, codec_bits, shape, work);
  uint8_t bytes[calendo::kMaxShapedSamples * 2];
  std::span<const uint8_t> out;
  if (out_bits == 2 && std::endian::native == std::endian::little) {
    // Already the file's byte form.
    out = {reinterpret_cast<const uint8_t*>(y.data()), y.size_bytes()};
  } else {
    out = {bytes, calendo::pcm_bytes(y, out_bits, bytes)};
  }
  if (!calendo::write_all(file->get(), out).ok() || !file->close().ok()) return TESMOR_CANNOT_OPEN;
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
  const uint32_t rate = calendo::conversion_rate(lp_pages > 0 ? lp_rate : sp_rate, both);
  const int64_t samples =
      sp_pages * static_cast<int64_t>(calendo::announced_page_samples(false, sp_rate, both)) +
      lp_pages * static_cast<int64_t>(calendo::announced_page_samples(true, lp_rate, both));
  const int64_t length = samples * out_bits;
  if (length > INT32_MAX) return TESMOR_UNSUPPORTED;

  const auto wav =
      calendo::wav_header(rate, static_cast<uint16_t>(8 * out_bits), static_cast<uint32_t>(length));
  if (!write_file(path, O_TRUNC, wav)) return TESMOR_CANNOT_OPEN;
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
                     calendo::conversion_shape(rate_code, code_bits, target == TESMOR_TARGET_11K),
                     out_bits);
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
  const int64_t count = calendo::code_count(code_bits, full_bytes, extra_bits);
  if (count > TESMOR_MAX_CODES) return TESMOR_UNSUPPORTED;

  const auto n = static_cast<std::size_t>(count);
  calendo::unpack_codes(packed, n, code_bits, codes);
  // 8 kHz pages reach 11025 Hz for both targets here.
  const bool to_11k = target == TESMOR_TARGET_11K || rate_code == 8;
  return append_page(path, {codes, n}, codec_bits,
                     calendo::conversion_shape(rate_code, codec_bits, to_11k), out_bits);
}
