#include "codec/adpcm.h"

#include "adpcm_steps.h"
#include "adpcm_tables.h"

namespace codec {

namespace {

using detail::WidthTables;
using detail::Work;

template <OutputStage Stage>
void decode_block(AdpcmState& state, const uint8_t* codes, std::size_t count, const WidthTables& t,
                  int16_t* out) {
  Work w = detail::load(state);
  for (std::size_t k = 0; k < count; ++k) {
    const detail::Prediction p = detail::predict(w);
    const uint32_t sr = detail::update(w, p, codes[k] & t.mask, t);
    out[k] = Adpcm::output_sample(Stage, static_cast<uint16_t>(sr));
  }
  detail::store(w, state);
}

template <InputStage Stage>
void encode_block(AdpcmState& state, const int16_t* samples, std::size_t count,
                  const WidthTables& t, uint8_t* codes) {
  Work w = detail::load(state);
  for (std::size_t k = 0; k < count; ++k) {
    const detail::Prediction p = detail::predict(w);
    // Input: the sample's 16-bit pattern without its two lowest bits.
    const uint32_t sl = static_cast<uint16_t>(Adpcm::input_sample(Stage, samples[k])) >> 2;
    const uint32_t i = detail::quantize(p, sl, t);
    detail::update(w, p, i, t);
    codes[k] = static_cast<uint8_t>(i);
  }
  detail::store(w, state);
}

}  // namespace

int16_t Adpcm::output_sample(OutputStage stage, uint16_t sr) {
  const int32_t s = static_cast<int16_t>(sr);
  // 3.5 x SR truncated toward zero is 7 x SR / 2 in integer division.
  const int32_t out = stage == OutputStage::Gain3_5 ? s * 7 / 2 : s * 4;
  return static_cast<int16_t>(static_cast<uint16_t>(out));
}

int16_t Adpcm::input_sample(InputStage stage, int16_t sample) {
  // 0.9 x sample truncated toward zero is 9 x sample / 10 in integer division.
  return stage == InputStage::Gain0_9 ? static_cast<int16_t>(sample * 9 / 10) : sample;
}

void Adpcm::adpcm_reset_state(int /*bits_per_code*/) {
  AdpcmState s{};
  s.sr1 = s.sr2 = 32;
  for (uint16_t& dq : s.dq) dq = 32;
  s.yu = 544;
  s.yl = 34816;
  state_ = s;
}

int16_t Adpcm::adpcm_decode_code(unsigned code, int bits_per_code) {
  const uint8_t byte = static_cast<uint8_t>(code & 15u);
  int16_t sample = 0;
  decode(&byte, 1, bits_per_code, &sample);
  return sample;
}

unsigned Adpcm::adpcm_encode_sample(int16_t sample, int bits_per_code) {
  uint8_t code = 0;
  encode(&sample, 1, bits_per_code, &code);
  return code;
}

void Adpcm::decode(const uint8_t* codes, std::size_t count, int bits_per_code, int16_t* out) {
  const WidthTables& t = detail::tables_for(bits_per_code);
  if (output_ == OutputStage::Gain3_5) {
    decode_block<OutputStage::Gain3_5>(state_, codes, count, t, out);
  } else {
    decode_block<OutputStage::Shift2>(state_, codes, count, t, out);
  }
}

void Adpcm::encode(const int16_t* samples, std::size_t count, int bits_per_code, uint8_t* codes) {
  const WidthTables& t = detail::tables_for(bits_per_code);
  if (input_ == InputStage::Gain0_9) {
    encode_block<InputStage::Gain0_9>(state_, samples, count, t, codes);
  } else {
    encode_block<InputStage::Direct>(state_, samples, count, t, codes);
  }
}

}  // namespace codec
