// The writers of the 92-byte vqr header that starts a file made from a WAV file.
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>

#include "calendo/byte_order.h"
#include "calendo/byte_source.h"
#include "kestrune.h"
#include "output_file.h"
#include "page_layout.h"
#include "wav_source.h"

namespace kestrune {
namespace {

using making::kHeaderSize;
using making::kPageSize;

struct HeaderValues {
  uint32_t size;       // of the whole vqr file
  uint16_t seconds;    // 56
  uint8_t file_mode;   // 60: 0 = SP, 1 = LP
  uint8_t sp_bits;     // 62
  uint16_t sp_length;  // 71
};

using calendo::put_le16;
using calendo::put_le32;

std::array<uint8_t, kHeaderSize> header_bytes(const HeaderValues& v) {
  std::array<uint8_t, kHeaderSize> h{};
  uint8_t* p = h.data();
  std::memcpy(p + 0, "OIFF", 4);
  put_le32(p + 4, v.size - 8);
  std::memcpy(p + 8, "WAVEfmt ", 8);
  put_le32(p + 16, 64);
  std::memset(p + 20, 0xFF, 36);
  put_le16(p + 56, v.seconds);
  put_le16(p + 58, static_cast<uint16_t>(kPageSize));
  p[60] = v.file_mode;
  // SP descriptor: 11 kHz, 510 code bytes, no extra bits; LP: 7 kHz, 2 bits, 511 + 4 bits.
  p[61] = 11;
  p[62] = v.sp_bits;
  put_le16(p + 63, 510);
  p[65] = 0;
  p[66] = 7;
  p[67] = 2;
  put_le16(p + 68, 511);
  p[70] = 4;
  put_le16(p + 71, v.sp_length);
  put_le16(p + 73, 0);
  // The SP page field holds the page count in its low three bytes only.
  put_le32(p + 75, ((v.size - kHeaderSize) / kPageSize) & 0xFFFFFF);
  put_le32(p + 79, 0);
  p[83] = 0xFF;
  std::memcpy(p + 84, "data", 4);
  put_le32(p + 88, v.size - kHeaderSize);
  return h;
}

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
