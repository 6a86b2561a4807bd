// The library's own real-time entry points: the stream-start block and the
// decoding of one page's codes into a block of 11025 Hz samples.
#include <algorithm>
#include <cstring>

#include "calendo/page_shape.h"
#include "calendo/wav_header.h"
#include "decoder_state.h"
#include "kestrune.h"
#include "platform/memory.h"

namespace {

using namespace kestrune::decoding;

constexpr size_t kStreamBlock = 100;
// What the stream-start header announces: far more than any recording holds.
constexpr uint32_t kEndlessDataLength = 528000000;

}  // namespace

extern "C" int32_t SoundSet11k16bit(void** out, int32_t /*rate*/, uint8_t* header) {
  if (out == nullptr || header == nullptr) return KESTRUNE_UNSUPPORTED;
  void* block = platform::block_alloc(kStreamBlock);
  if (block == nullptr) return KESTRUNE_NO_MEMORY;
  const auto wav = calendo::wav_header(11025, 16, kEndlessDataLength);
  std::memcpy(block, wav.data(), wav.size());  // the rest of the block stays zero
  std::memcpy(header, block, kStreamBlock);
  *out = block;
  return 0;
}

extern "C" int32_t pb_adpcm_dec(int32_t rate_code, int32_t code_bits, int32_t count, uint8_t* codes,
                                int16_t** out, int32_t reset) {
  if (reset == 1) {
    if (codes != nullptr) codes[0] = 1;
    decoder_codec().adpcm_reset_state();
    return 0;
  }
  if (!calendo::is_rate_code(rate_code) || !calendo::is_code_bits(code_bits) || count < 0 ||
      count > KESTRUNE_MAX_CODES || codes == nullptr || out == nullptr) {
    return KESTRUNE_UNSUPPORTED;
  }
  // The block is taken first so that a refusal leaves the codec where it was.
  const calendo::PageShape shape = calendo::realtime_shape(rate_code, code_bits);
  const size_t samples = calendo::shaped_count(shape, static_cast<size_t>(count));
  auto* block = static_cast<int16_t*>(platform::block_alloc(samples * sizeof(int16_t)));
  if (block == nullptr) return KESTRUNE_NO_MEMORY;

  calendo::PageWork work;
  decode_doubled({codes, static_cast<size_t>(count)}, code_bits, work.decoded);
  const std::span<const int16_t> y = calendo::shape_page(shape, static_cast<size_t>(count), work);
  std::copy(y.begin(), y.end(), block);
  *out = block;
  return static_cast<int32_t>(y.size());
}
