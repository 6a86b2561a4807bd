// The G.726 adaptive predictor and quantizer at 2, 3 and 4 bits per code, in
// fixed-point integer form, for linear 16-bit samples. Bit-exact: the encoder
// reproduces the standard's 16, 24 and 32 kbit/s reference codes; the one
// departure is the transition threshold, capped at 31 x 2^9 from YLINT 9 on.
//
// One `Adpcm` object is one codec instance with its own state; the caller owns
// it and the buffers it passes. A freshly constructed instance holds the
// all-zero state, which is not the reset state: call adpcm_reset_state() to
// start a stream from the reset values. Decoding a stream in pieces gives the
// same samples as decoding it whole, as long as no reset falls between the
// pieces. Not thread-safe: one thread at a time, in stream order. Nothing
// allocates, nothing throws, nothing prints: with codes masked to their width
// every table lookup finds its row, so no diagnostic is ever due.
//
// Code words: bits_per_code is 2, 3 or 4 and must stay the same for a whole
// stream (any other value is taken as 4). A code's most significant bit is its
// sign. The decoder uses the low 4 bits of a code and, at 2 and 3 bits, takes
// a code outside the width as the code masked to the width's bits (code 5 at
// 2 bits decodes as 1).
//
// Every state field is read modulo its width, so a state written from outside
// with stray high bits decodes as the same state with those bits cleared.
//
// Speed: decode() and encode() on blocks (a page of codes) run several times
// faster than one call per code. On x86-64 processors with AVX2 the blocks run
// on a vector kernel; elsewhere on a scalar one. Both give the same bits.
#pragma once

#include <cstddef>
#include <cstdint>

namespace calendo {

// How a decoded sample is formed from the reconstructed signal SR.
enum class OutputStage {
  Gain3_5,  // SR x 3.5, truncated toward zero, low 16 bits (no saturation)
  Shift2,   // SR << 2, low 16 bits
};

// How the encoder scales a sample before it drops the two lowest bits.
enum class InputStage {
  Direct,   // the sample as given
  Gain0_9,  // sample x 0.9, truncated toward zero
};

// The codec state; every field holds the bit pattern of the width noted.
struct AdpcmState {
  uint16_t sr1, sr2;  // 11-bit float: reconstructed signal, delayed 1 and 2
  uint16_t dq[6];     // 11-bit float: quantized difference, delayed 1 ... 6
  uint16_t a1, a2;    // 16-bit TC: pole predictor coefficients
  uint16_t b[6];      // 16-bit TC: zero predictor coefficients
  uint8_t pk1, pk2;   // sign of DQ + SEZ, delayed 1 and 2
  uint16_t yu;        // 13 bits: fast scale factor
  uint32_t yl;        // 19 bits: slow scale factor
  uint16_t dms;       // 12 bits: short-term average of F(I)
  uint16_t dml;       // 14 bits: long-term average of F(I)
  uint16_t ap;        // 10 bits: speed control
  uint8_t td;         // tone detected

  bool operator==(const AdpcmState&) const = default;
};

class Adpcm {
 public:
  explicit Adpcm(OutputStage output = OutputStage::Gain3_5, InputStage input = InputStage::Direct)
      : output_(output), input_(input) {}

  // Sets every field to its reset value.
  void adpcm_reset_state();

  // Decodes one code word (its low 4 bits; at 2 and 3 bits a code outside the
  // width is taken masked to the width's bits) and advances the state.
  int16_t adpcm_decode_code(unsigned code, int bits_per_code);

  // Quantizes one sample (after the input stage, its upper 14 bits) and
  // advances the state exactly as the decoder does for the returned code.
  unsigned adpcm_encode_sample(int16_t sample, int bits_per_code);

  // Decodes `count` codes (one per byte) into `out`; the same samples as
  // calling adpcm_decode_code() for each in turn (which is this with count 1).
  // REQUIRES: `codes` and `out` hold `count` elements.
  void decode(const uint8_t* codes, std::size_t count, int bits_per_code, int16_t* out);

  // Encodes `count` samples into `codes`, one code per byte; the same codes as
  // calling adpcm_encode_sample() for each in turn (which is this with count 1).
  // REQUIRES: `samples` and `codes` hold `count` elements.
  void encode(const int16_t* samples, std::size_t count, int bits_per_code, uint8_t* codes);

  const AdpcmState& state() const { return state_; }
  AdpcmState& state() { return state_; }

  // The decoder's output stage applied to a reconstructed signal SR (a 16-bit
  // two's complement pattern), and the encoder's input stage applied to a
  // sample. Both are computed in integers (7 x SR / 2 and 9 x sample / 10,
  // truncated toward zero), which give the same values as x 3.5 and x 0.9.
  static int16_t output_sample(OutputStage stage, uint16_t sr);
  static int16_t input_sample(InputStage stage, int16_t sample);

 private:
  OutputStage output_;
  InputStage input_;
  AdpcmState state_{};
};

}  // namespace calendo
