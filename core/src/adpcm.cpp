#include "calendo/adpcm.h"

#include "adpcm_kernels.h"
#include "adpcm_steps.h"
#include "adpcm_tables.h"

namespace calendo {

namespace detail {

Kernel best_kernel() {
  static const Kernel best = kernel_available(Kernel::Avx2) ? Kernel::Avx2 : Kernel::Scalar;
  return best;
}

}  // namespace detail

int16_t Adpcm::output_sample(OutputStage stage, uint16_t sr) {
  return detail::output_stage(stage, static_cast<int16_t>(sr));
}

int16_t Adpcm::input_sample(InputStage stage, int16_t sample) {
  return detail::input_stage(stage, sample);
}

void Adpcm::adpcm_reset_state() {
  AdpcmState s{};
  s.sr1 = s.sr2 = 32;
  for (uint16_t& dq : s.dq) dq = 32;
  s.yu = 544;
  s.yl = 34816;
  state_ = s;
}

int16_t Adpcm::adpcm_decode_code(unsigned code, int bits_per_code) {
  const auto byte = static_cast<uint8_t>(code & 15u);
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
  const detail::WidthTables& t = detail::tables_for(bits_per_code);
  if (detail::best_kernel() == detail::Kernel::Avx2) {
    detail::decode_avx2(state_, output_, t, codes, count, out);
  } else {
    detail::decode_scalar(state_, output_, t, codes, count, out);
  }
}

void Adpcm::encode(const int16_t* samples, std::size_t count, int bits_per_code, uint8_t* codes) {
  const detail::WidthTables& t = detail::tables_for(bits_per_code);
  if (detail::best_kernel() == detail::Kernel::Avx2) {
    detail::encode_avx2(state_, input_, t, samples, count, codes);
  } else {
    detail::encode_scalar(state_, input_, t, samples, count, codes);
  }
}

}  // namespace calendo
