// The encoder that appends the pages of a vqr file made from a PCM WAV file.
//
// The library holds one encoder state of its own (apart from the state its
// decoders share); a call with start page 0 resets it, every other call goes
// on from where the previous call left it.
#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>

#include "calendo/adpcm.h"
#include "calendo/byte_order.h"
#include "calendo/byte_source.h"
#include "kestrune.h"
#include "output_file.h"
#include "page_layout.h"
#include "wav_source.h"

namespace kestrune {
namespace {

using making::kPageSize;
using making::PageLayout;

// The encoder scales every sample by 0.9 (exactly, truncated toward zero) in
// front of the codec's input.
calendo::Adpcm g_encoder(calendo::OutputStage::Shift2, calendo::InputStage::Gain0_9);

constexpr uint32_t kMaxCodes = making::kMaxStreamBits / 2;

// What a page holds past the end of the samples.
enum class PastEnd {
  SilenceCode,  // code 7 without encoding (the SP pages of the standard layout)
  Silence,      // samples of 0, encoded
};

// Reads the samples of one page after another from the data chunk.
class SampleReader {
 public:
  SampleReader(const RecorderFile& file, const wav::Samples& samples, uint64_t first_sample)
      : file_(file), samples_(samples), next_(first_sample) {}

  // Fills out[0 .. count-1] with the next samples as 16-bit values, 0 past the
  // end of the samples, and returns how many were real samples.
  size_t read(int16_t* out, size_t count) {
    const unsigned width = samples_.bytes_per_sample();
    const uint64_t total = (samples_.end - samples_.start) / width;
    const size_t real =
        next_ >= total ? 0 : static_cast<size_t>(std::min<uint64_t>(count, total - next_));
    if (real > 0) {
      file_.read_padded(samples_.start + next_ * width, std::span(bytes_.data(), real * width));
    }
    for (size_t i = 0; i < real; ++i) {
      out[i] = width == 1 ? static_cast<int16_t>((bytes_[i] - 128) * 256)
                          : static_cast<int16_t>(calendo::le16(&bytes_[2 * i]));
    }
    std::fill(out + real, out + count, int16_t{0});
    next_ += count;
    return real;
  }

 private:
  const RecorderFile& file_;
  const wav::Samples& samples_;
  uint64_t next_;
  std::array<uint8_t, 2 * kMaxCodes> bytes_{};
};

// One page: the codes packed least significant bit first, 0 in the unused bits
// of the last code byte, the mode flag at 512 and 0xFF everywhere else.
std::array<uint8_t, kPageSize> page_bytes(const uint8_t* codes, const PageLayout& layout) {
  std::array<uint8_t, kPageSize> page;
  const uint32_t code_bytes = (layout.code_bits_per_page() + 7) / 8;
  std::fill(page.begin(), page.begin() + code_bytes, uint8_t{0});
  std::fill(page.begin() + code_bytes, page.end(), uint8_t{0xFF});
  uint32_t bit = 0;
  for (uint32_t i = 0; i < layout.codes; ++i, bit += static_cast<uint32_t>(layout.bits)) {
    const uint32_t value = static_cast<uint32_t>(codes[i]) << (bit % 8);
    page[bit / 8] = static_cast<uint8_t>(page[bit / 8] | value);
    if (value > 0xFF) page[bit / 8 + 1] = static_cast<uint8_t>(page[bit / 8 + 1] | value >> 8);
  }
  page[making::kFlagOffset] = layout.flag;
  return page;
}

int16_t encode_pages(const RecorderFile& wav, const wav::Samples& samples, const PageLayout& layout,
                     PastEnd past_end, const char* vqr_path, uint32_t start_page,
                     uint32_t page_count) {
  std::optional<making::OutputFile> out = making::OutputFile::append(vqr_path);
  if (!out) return KESTRUNE_VQR_CANNOT_WRITE;
  if (start_page == 0) g_encoder.adpcm_reset_state();

  SampleReader reader(wav, samples, uint64_t{start_page} * layout.codes);
  std::array<int16_t, kMaxCodes> pcm{};
  std::array<uint8_t, kMaxCodes> codes{};
  for (uint32_t p = 0; p < page_count; ++p) {
    const size_t real = reader.read(pcm.data(), layout.codes);
    const size_t encoded = past_end == PastEnd::SilenceCode ? real : layout.codes;
    g_encoder.encode(pcm.data(), encoded, layout.bits, codes.data());
    std::fill(codes.begin() + static_cast<std::ptrdiff_t>(encoded), codes.end(), uint8_t{7});
    if (!out->write(page_bytes(codes.data(), layout))) {
      out->undo();
      return KESTRUNE_VQR_CANNOT_WRITE;
    }
  }
  return KESTRUNE_VQR_WRITTEN;
}

}  // namespace
}  // namespace kestrune

extern "C" {

int16_t wav_vqr_encoder(const char* wav_path, const char* vqr_path, uint32_t start_page,
                        uint32_t page_count) {
  using namespace kestrune;
  const Result<RecorderFile> file = RecorderFile::open(wav_path);
  if (!file.ok()) return KESTRUNE_WAV_CANNOT_OPEN;
  const uint32_t rate = wav::sample_rate(file.value());
  if (rate != wav::kSpRate && rate != wav::kLpRate) return KESTRUNE_WAV_BAD_RATE;
  const std::optional<wav::Samples> samples = wav::locate_samples(file.value());
  if (!samples) return static_cast<int16_t>(wav::kNoSamples);
  const bool sp = rate == wav::kSpRate;
  return encode_pages(file.value(), *samples, sp ? making::kSpLayout : making::kLpLayout,
                      sp ? PastEnd::SilenceCode : PastEnd::Silence, vqr_path, start_page,
                      page_count);
}

int16_t wav_vqr_encoder_f(const char* wav_path, const char* vqr_path, uint32_t start_page,
                          uint32_t page_count, uint16_t code_bytes, uint16_t extra_bits,
                          uint16_t code_bits) {
  using namespace kestrune;
  const Result<RecorderFile> file = RecorderFile::open(wav_path);
  if (!file.ok()) return KESTRUNE_WAV_CANNOT_OPEN;
  if (8u * code_bytes + extra_bits > making::kMaxStreamBits) return KESTRUNE_VQR_STREAM_TOO_LONG;
  if (code_bits < 2 || code_bits > 4) return KESTRUNE_VQR_BAD_CODE_BITS;
  const std::optional<wav::Samples> samples = wav::locate_samples(file.value());
  if (!samples) return static_cast<int16_t>(wav::kNoSamples);
  const uint32_t codes = (8u * code_bytes + extra_bits) / code_bits;
  const PageLayout layout{codes, code_bits, static_cast<uint8_t>(code_bits == 2 ? 1 : 0)};
  return encode_pages(file.value(), *samples, layout, PastEnd::Silence, vqr_path, start_page,
                      page_count);
}

}  // extern "C"
