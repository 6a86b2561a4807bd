// Bringing mono 16-bit samples to another sample rate (libsoxr, high
// quality), in blocks: Convert() as samples come, Flush() once at the end for
// what the filter still holds.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include <soxr.h>

#include "calendo/fault.h"

namespace calendo::tool {

class RateConverter {
 public:
  static Result<std::unique_ptr<RateConverter>> Create(uint32_t from, uint32_t to);
  ~RateConverter();
  RateConverter(const RateConverter&) = delete;
  RateConverter& operator=(const RateConverter&) = delete;

  // The samples at the new rate that `in` yields so far (valid until the
  // next call).
  Result<std::span<const int16_t>> Convert(std::span<const int16_t> in);
  // The samples the filter still holds; call until they are none.
  Result<std::span<const int16_t>> Flush();

 private:
  RateConverter(soxr_t soxr, double ratio) : soxr_(soxr), ratio_(ratio) {}
  Result<std::span<const int16_t>> Run(const int16_t* in, size_t count);

  soxr_t soxr_;
  double ratio_;
  std::vector<int16_t> out_;
};

}  // namespace calendo::tool
