// The writers of the 92-byte vqr header that starts a file made from a WAV file.
#include <array>
#include <cstdint>
#include <optional>

#include "calendo/byte_source.h"
#include "calendo/vqr_header.h"
#include "kestrune.h"
#include "output_file.h"
#include "page_layout.h"
#include "wav_source.h"

namespace kestrune {
namespace {

using HeaderValues = calendo::VqrHeaderValues;

const auto header_bytes = calendo::vqr_header_bytes;

// Recording length in whole seconds at `rate`, from the data length D; the
// header keeps the low 16 bits.
uint16_t data_seconds(const wav::Samples& s, uint32_t rate) {
  return static_cast<uint16_t>(uint64_t{s.data_length} * 8 / rate / s.bits);
}

// Recording length of a custom layout, from the whole 528-byte units of the
// file (header included) and the codes a page holds; 0 when the WAV file
// states no sample rate.
uint16_t layout_seconds(uint32_t size, uint16_t code_bytes, uint16_t extra_bits, uint16_t bits,
                        uint32_t rate) {
  if (rate == 0) return 0;
  const uint64_t stream = 8u * uint64_t{code_bytes} + extra_bits;
  return static_cast<uint16_t>(uint64_t{size} * 8 / 4224 * stream / bits / rate);
}

int16_t write_header(const char* vqr_path, const HeaderValues& values) {
  std::optional<making::OutputFile> out = making::OutputFile::create(vqr_path);
  if (!out) return KESTRUNE_VQR_CANNOT_WRITE;
  if (!out->write(header_bytes(values))) {
    out->undo();
    return KESTRUNE_VQR_CANNOT_WRITE;
  }
  return KESTRUNE_VQR_WRITTEN;
}

}  // namespace
}  // namespace kestrune

extern "C" {

int16_t wav_vqr_mkheader(const char* wav_path, const char* vqr_path, uint32_t size) {
  using namespace kestrune;
  const Result<RecorderFile> file = RecorderFile::open(wav_path);
  if (!file.ok()) return KESTRUNE_WAV_CANNOT_OPEN;
  const uint32_t rate = wav::sample_rate(file.value());
  if (rate != wav::kSpRate && rate != wav::kLpRate) return KESTRUNE_WAV_BAD_RATE;
  const std::optional<wav::Samples> samples = wav::locate_samples(file.value());
  if (!samples) return static_cast<int16_t>(wav::kNoSamples);
  const uint16_t l11 = data_seconds(*samples, wav::kSpRate);
  const bool lp = rate == wav::kLpRate;
  return write_header(vqr_path, {size, lp ? data_seconds(*samples, wav::kLpRate) : l11,
                                 static_cast<uint8_t>(lp ? 1 : 0), 3, l11});
}

int16_t wav_vqr_mkheader_f(const char* wav_path, const char* vqr_path, uint32_t size,
                           uint16_t code_bytes, uint16_t extra_bits, uint16_t code_bits) {
  using namespace kestrune;
  const Result<RecorderFile> file = RecorderFile::open(wav_path);
  if (!file.ok()) return KESTRUNE_WAV_CANNOT_OPEN;
  if (code_bits < 2 || code_bits > 4) return KESTRUNE_VQR_BAD_CODE_BITS;
  if (!wav::locate_samples(file.value())) return static_cast<int16_t>(wav::kNoSamples);
  const uint16_t seconds =
      layout_seconds(size, code_bytes, extra_bits, code_bits, wav::sample_rate(file.value()));
  return write_header(vqr_path, {size, seconds, static_cast<uint8_t>(code_bits == 2 ? 1 : 0),
                                 static_cast<uint8_t>(code_bits == 4 ? 4 : 3), seconds});
}

}  // extern "C"
