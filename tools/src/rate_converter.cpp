#include "rate_converter.h"

#include <cmath>

namespace calendo::tool {

RateConverter::RateConverter(uint32_t from, uint32_t to, std::string& error)
    : ratio_(static_cast<double>(to) / from) {
  const soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_INT16_I);
  const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
  soxr_error_t failure = nullptr;
  soxr_ = soxr_create(from, to, 1, &failure, &io, &quality, nullptr);
  if (failure != nullptr) {
    error = std::string("cannot resample from ") + std::to_string(from) + " to " +
            std::to_string(to) + " Hz: " + failure;
    soxr_delete(soxr_);
    soxr_ = nullptr;
  }
}

RateConverter::~RateConverter() {
  soxr_delete(soxr_);
}

bool RateConverter::Convert(std::span<const int16_t> in, std::span<const int16_t>& out,
                            std::string& error) {
  out = {};
  return in.empty() || Run(in.data(), in.size(), out, error);
}

bool RateConverter::Flush(std::span<const int16_t>& out, std::string& error) {
  return Run(nullptr, 0, out, error);
}

bool RateConverter::Run(const int16_t* in, size_t count, std::span<const int16_t>& out,
                        std::string& error) {
  // Room for this block's output and some of what the filter held back.
  out_.resize(static_cast<size_t>(std::ceil(static_cast<double>(count) * ratio_)) + 4096);
  size_t used = 0;
  size_t made = 0;
  if (const soxr_error_t failure =
          soxr_process(soxr_, in, count, &used, out_.data(), out_.size(), &made);
      failure != nullptr) {
    error = std::string("resampling failed: ") + failure;
    return false;
  }
  out = {out_.data(), made};
  return true;
}

}  // namespace calendo::tool
