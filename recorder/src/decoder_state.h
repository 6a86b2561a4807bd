// The decoding state of the library's own decode entry points: one codec
// instance, apart from the encoder's, that forms each sample as the
// reconstructed signal shifted left by 2 bits. pb_adpcm_dec and AdpcmDec1
// continue one stream in it; a reset call starts a new one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "calendo/adpcm.h"
#include "calendo/vqr_format.h"

namespace kestrune::decoding {

calendo::Adpcm& decoder_codec();

// Decodes codes into out (same length) and doubles every sample, keeping the
// low 16 bits: the library's samples are twice the codec's.
void decode_doubled(std::span<const uint8_t> codes, int bits, std::span<int16_t> out);

}  // namespace kestrune::decoding
