#include "decoder_state.h"

namespace kestrune::decoding {

calendo::Adpcm& decoder_codec() {
  static calendo::Adpcm codec(calendo::OutputStage::Shift2);
  return codec;
}

void decode_doubled(std::span<const uint8_t> codes, int bits, std::span<int16_t> out) {
  decoder_codec().decode(codes.data(), codes.size(), bits, out.data());
  for (size_t i = 0; i < codes.size(); ++i) {
    out[i] = static_cast<int16_t>(static_cast<uint16_t>(out[i]) << 1);
  }
}

}  // namespace kestrune::decoding
