// The checks that tell whether a WAV file can become a vqr file, and how large
// that file will be; and two fields of the WAV header.
#include <cstdint>
#include <limits>
#include <optional>

#include "calendo/byte_source.h"
#include "kestrune.h"
#include "page_layout.h"
#include "wav_source.h"

namespace kestrune {
namespace {

using making::kHeaderSize;
using making::kPageSize;

// Pages of the standard layout. The remainder term counts the bits of a
// trailing partial sample and, for 16-bit sources, lets an exact page of
// samples ask for one more page; made files have always had that page.
uint64_t standard_pages(const wav::Samples& s, uint32_t rate) {
  const uint64_t d = s.data_length;
  const uint64_t b = s.bits;
  if (rate == wav::kSpRate) return ((d * 24) / b + (d * 3) % b + 4079) / 4080;
  return ((d * 16) / b + (d * 2) % b + 4091) / 4092;
}

// Pages of a custom layout: one more than the whole pages, also when the
// samples fill the last page exactly.
uint64_t custom_pages(const wav::Samples& s, const making::PageLayout& layout) {
  const uint64_t code_bits = (uint64_t{s.data_length} * 8) / s.bits * layout.bits;
  return code_bits / layout.code_bits_per_page() + 1;
}

uint32_t size_of(uint64_t pages) {
  const uint64_t size = pages * kPageSize + kHeaderSize;
  // The header stores size - 8 and size - 92 in 32 bits.
  if (size > std::numeric_limits<uint32_t>::max()) return wav::kTooLarge;
  return static_cast<uint32_t>(size);
}

// Steps shared by both checks: open, header tests, samples.
template <class Size>
uint32_t check(const char* path, Size size) {
  const Result<RecorderFile> file = RecorderFile::open(path);
  if (!file.ok()) return wav::kCannotOpen;
  if (const uint32_t refusal = wav::header_refusal(file.value())) return refusal;
  const std::optional<wav::Samples> samples = wav::locate_samples(file.value());
  if (!samples) return wav::kNoSamples;
  return size(*samples, wav::sample_rate(file.value()));
}

}  // namespace
}  // namespace kestrune

extern "C" {

uint32_t wav_vqr_check(const char* wav_path) {
  using namespace kestrune;
  return check(wav_path, [](const wav::Samples& s, uint32_t rate) {
    return size_of(standard_pages(s, rate));
  });
}

uint32_t wav_vqr_check_f(const char* wav_path, uint16_t code_bytes, uint16_t extra_bits,
                         uint16_t code_bits) {
  using namespace kestrune;
  const auto layout = making::custom_layout(code_bytes, extra_bits, code_bits);
  return check(wav_path, [&](const wav::Samples& s, uint32_t) {
    return layout ? size_of(custom_pages(s, *layout)) : wav::kBadLayout;
  });
}

int32_t wav_samplef(const char* wav_path) {
  const kestrune::Result<kestrune::RecorderFile> file = kestrune::RecorderFile::open(wav_path);
  if (!file.ok()) return -1;
  return static_cast<int32_t>(kestrune::wav::sample_rate(file.value()));
}

int32_t wav_bitmode(const char* wav_path) {
  const kestrune::Result<kestrune::RecorderFile> file = kestrune::RecorderFile::open(wav_path);
  if (!file.ok()) return -1;
  return kestrune::wav::bits_per_sample(file.value());
}

}  // extern "C"
