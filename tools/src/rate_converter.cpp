#include "rate_converter.h"

#include <cmath>
#include <string>

namespace calendo::tool {

Result<std::unique_ptr<RateConverter>> RateConverter::Create(uint32_t from, uint32_t to) {
  const soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_INT16_I);
  const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
  soxr_error_t failure = nullptr;
  soxr_t soxr = soxr_create(from, to, 1, &failure, &io, &quality, nullptr);
  if (failure != nullptr) {
    soxr_delete(soxr);
    return Fault{Failure::Unsupported, 0,
                 "cannot resample from " + std::to_string(from) + " to " + std::to_string(to) +
                     " Hz: " + failure};
  }
  return std::unique_ptr<RateConverter>(new RateConverter(soxr, static_cast<double>(to) / from));
}

RateConverter::~RateConverter() {
  soxr_delete(soxr_);
}

Result<std::span<const int16_t>> RateConverter::Convert(std::span<const int16_t> in) {
  if (in.empty()) return std::span<const int16_t>{};
  return Run(in.data(), in.size());
}

Result<std::span<const int16_t>> RateConverter::Flush() {
  return Run(nullptr, 0);
}

Result<std::span<const int16_t>> RateConverter::Run(const int16_t* in, size_t count) {
  // Room for this block's output and some of what the filter held back.
  out_.resize(static_cast<size_t>(std::ceil(static_cast<double>(count) * ratio_)) + 4096);
  size_t used = 0;
  size_t made = 0;
  if (const soxr_error_t failure =
          soxr_process(soxr_, in, count, &used, out_.data(), out_.size(), &made);
      failure != nullptr) {
    return Fault{Failure::Unsupported, 0, std::string("resampling failed: ") + failure};
  }
  return std::span<const int16_t>(out_.data(), made);
}

}  // namespace calendo::tool
