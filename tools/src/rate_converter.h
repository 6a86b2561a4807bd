// Bringing mono 16-bit samples to another sample rate (libsoxr, high
// quality), in blocks: Convert() as samples come, Flush() once at the end for
// what the filter still holds.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include <soxr.h>

namespace calendo::tool {

class RateConverter {
 public:
  // On failure `error` is set and ok() is false.
  RateConverter(uint32_t from, uint32_t to, std::string& error);
  ~RateConverter();
  RateConverter(const RateConverter&) = delete;
  RateConverter& operator=(const RateConverter&) = delete;

  bool ok() const { return soxr_ != nullptr; }

  // Puts into `out` the samples at the new rate that `in` yields so far
  // (valid until the next call).
  bool Convert(std::span<const int16_t> in, std::span<const int16_t>& out, std::string& error);
  // The samples the filter still holds; call until `out` is empty.
  bool Flush(std::span<const int16_t>& out, std::string& error);

 private:
  bool Run(const int16_t* in, size_t count, std::span<const int16_t>& out, std::string& error);

  soxr_t soxr_ = nullptr;
  double ratio_;
  std::vector<int16_t> out_;
};

}  // namespace calendo::tool
