#include "mpris/audio_clock.h"

#include <algorithm>

#include "calendo/page_shape.h"
#include "calendo/vqr_format.h"

namespace calendo {

AudioClock::AudioClock(const SplpInfo& splp, std::span<const uint8_t> table) : table_(table) {
  const bool has_sp = std::find(table.begin(), table.end(), 0) != table.end();
  const bool has_lp = std::find(table.begin(), table.end(), 1) != table.end();
  const bool both = has_sp && has_lp;
  rate_ = conversion_rate(splp.rate_code[has_sp ? 0 : 1], both);
  for (int mode = 0; mode < 2; ++mode) {
    const int32_t bits = splp.code_bits[mode];
    if (!is_code_bits(bits)) continue;  // a mode the file does not describe plays nothing
    const int32_t codes = code_count(bits, splp.code_bytes[mode], splp.extra_bits[mode]);
    page_samples_[mode] = static_cast<int64_t>(shaped_count(
        conversion_shape(splp.rate_code[mode], bits, both), static_cast<std::size_t>(codes)));
  }
}

int64_t AudioClock::SamplesBefore(int32_t page) const {
  const auto end = table_.begin() + std::clamp(page, 0, pages());
  const auto lp = std::count(table_.begin(), end, 1);
  const auto sp = std::count(table_.begin(), end, 0);
  return sp * page_samples_[0] + lp * page_samples_[1];
}

int64_t AudioClock::ToUs(int64_t samples) const {
  if (rate_ == 0) return 0;
  return (samples * 1'000'000 + rate_ / 2) / rate_;  // to the nearest microsecond
}

int64_t AudioClock::PageStartUs(int32_t page) const {
  return ToUs(SamplesBefore(page));
}

int32_t AudioClock::NearestPage(int64_t us) const {
  if (pages() == 0) return 0;
  // One pass: the first page starting at or past `us`, or the one before.
  int64_t samples = 0;
  int64_t before_us = 0;
  for (int32_t page = 0; page < pages(); ++page) {
    const int64_t start_us = ToUs(samples);
    if (start_us >= us) {
      if (page > 0 && us - before_us <= start_us - us) return page - 1;
      return page;
    }
    before_us = start_us;
    const uint8_t mode = table_[static_cast<std::size_t>(page)];
    if (mode <= 1) samples += page_samples_[mode];
  }
  return pages() - 1;
}

}  // namespace calendo
