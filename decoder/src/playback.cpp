// Real-time playback: pages decoded into blocks for the wave output, and the
// block that starts the stream.
#include <cstring>

#include "calendo/page_shape.h"
#include "calendo/wav_header.h"
#include "library_state.h"
#include "platform/memory.h"
#include "tesmor.h"

namespace {

uint32_t stream_rate(int32_t rate) {
  switch (rate) {
    case 8:
      return calendo::kRate8k;
    case 16:
      return 16000;
    case 22:
      return 22050;
    default:
      return calendo::kRate11k;
  }
}

// What the stream-start header announces: far more than any recording holds.
constexpr uint32_t kEndlessDataLength = 1056000000;

}  // namespace

extern "C" int32_t pb_adpcm_dec(int32_t rate_code, int32_t code_bits, int32_t count, uint8_t* codes,
                                int16_t** out, int32_t reset) {
  using namespace tesmor;
  if (reset == 1) {
    if (codes != nullptr) codes[0] = 1;
    library_codec().adpcm_reset_state();
    return 0;
  }
  if (!calendo::is_rate_code(rate_code) || !calendo::is_code_bits(code_bits) || count < 0 ||
      count > TESMOR_MAX_CODES || codes == nullptr || out == nullptr) {
    return TESMOR_UNSUPPORTED;
  }
  // The block is taken first so that a refusal leaves the codec where it was.
  const calendo::PageShape shape = calendo::playback_shape(rate_code);
  const std::size_t samples = calendo::shaped_count(shape, static_cast<std::size_t>(count));
  void* block = platform::block_alloc(samples * sizeof(int16_t));
  if (block == nullptr) return TESMOR_NO_MEMORY;

  calendo::PageWork work;
  const auto y = calendo::decode_page(library_codec(), {codes, static_cast<std::size_t>(count)},
                                      code_bits, shape, work);
  std::memcpy(block, y.data(), y.size_bytes());
  *out = static_cast<int16_t*>(block);
  return static_cast<int32_t>(y.size());
}

extern "C" int32_t SoundSet11k16bit(void** out, int32_t rate, uint8_t* header) {
  if (out == nullptr || header == nullptr) return TESMOR_UNSUPPORTED;
  void* block = platform::block_alloc(TESMOR_STREAM_BLOCK);
  if (block == nullptr) return TESMOR_NO_MEMORY;
  const auto wav = calendo::wav_header(stream_rate(rate), 16, kEndlessDataLength);
  // The block is zero-filled: the header, then silence.
  std::memcpy(block, wav.data(), wav.size());
  std::memcpy(header, block, TESMOR_HEADER_COPY);
  *out = block;
  return 0;
}
