// The library's own real-time entry points: the stream-start block and the
// decoding of one page's codes into a block of 11025 Hz samples.
#include <algorithm>
#include <array>
#include <cstring>

#include "calendo/pcm_rate.h"
#include "calendo/wav_header.h"
#include "decoder_state.h"
#include "kestrune.h"
#include "platform/memory.h"

namespace {

using namespace kestrune::decoding;

constexpr size_t kStreamBlock = 100;
// What the stream-start header announces: far more than any recording holds.
constexpr uint32_t kEndlessDataLength = 528000000;

// Decoded samples of one call, with zeros behind them as far as the groups of
// the expansions reach (293 x 7 = 2051 inputs).
constexpr size_t kDecodedCapacity = 2056;

size_t output_samples(int32_t rate_code, int32_t code_bits, int32_t count) {
  switch (rate_code) {
    case 7:
      return calendo::kSamples7to11;
    case 8:
      return 11 * (code_bits == 2 ? calendo::kGroupsOf8At2Bits : calendo::kGroupsOf8Otherwise);
    default:
      return static_cast<size_t>(count);
  }
}

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
  const size_t samples = output_samples(rate_code, code_bits, count);
  auto* block = static_cast<int16_t*>(platform::block_alloc(samples * sizeof(int16_t)));
  if (block == nullptr) return KESTRUNE_NO_MEMORY;

  std::array<int16_t, kDecodedCapacity> x{};
  decode_doubled({codes, static_cast<size_t>(count)}, code_bits, x);
  switch (rate_code) {
    case 7: {
      std::array<int16_t, calendo::kRepeat7to11Capacity> y{};
      calendo::repeat_7_to_11(x, y);
      std::copy_n(y.begin(), samples, block);
      break;
    }
    case 8: {
      std::array<int16_t, 11 * calendo::kGroupsOf8At2Bits> y{};
      calendo::repeat_8_to_11(x, samples / 11, y);
      std::copy_n(y.begin(), samples, block);
      break;
    }
    default:
      std::copy_n(x.begin(), samples, block);
  }
  *out = block;
  return static_cast<int32_t>(samples);
}
