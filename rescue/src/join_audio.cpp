#include "join_audio.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "calendo/recording_decoder.h"
#include "calendo/recording_pages.h"
#include "calendo/vqr_header.h"

namespace calendo::rescue {
namespace {

constexpr uint64_t kPagesBefore = 4;
constexpr uint64_t kPagesAfter = 2;
constexpr std::size_t kWindow = 256;

double mean_roughness(const std::vector<int16_t>& x, std::size_t from, std::size_t to) {
  double sum = 0;
  for (std::size_t n = std::max<std::size_t>(from, 2); n < to; ++n)
    sum += std::abs(static_cast<double>(x[n]) - 2.0 * x[n - 1] + x[n - 2]);
  return to > from ? sum / static_cast<double>(to - from) : 0;
}

double rms(const std::vector<int16_t>& x, std::size_t from, std::size_t to) {
  double sum = 0;
  for (std::size_t n = from; n < to; ++n) sum += static_cast<double>(x[n]) * x[n];
  return to > from ? std::sqrt(sum / static_cast<double>(to - from)) : 0;
}

}  // namespace

double join_roughness(const FileBytes& joined, uint64_t join_at, int mode) {
  if (join_at < vqr_page_offset(kPagesBefore)) return 0;
  const uint64_t split_page = (join_at - kVqrHeaderSize) / kVqrPageSize;
  const uint64_t first = split_page - kPagesBefore;
  const uint64_t pages = kPagesBefore + 1 + kPagesAfter;

  // A small file of its own: a header of the pages' mode, then the pages.
  std::vector<uint8_t> file(kVqrHeaderSize + pages * kVqrPageSize);
  const auto header =
      vqr_header_bytes({static_cast<uint32_t>(file.size()), 0, static_cast<uint8_t>(mode), 3, 0});
  std::copy(header.begin(), header.end(), file.begin());
  joined(vqr_page_offset(first), std::span(file).subspan(kVqrHeaderSize));
  // The decoder reads every page in the mode of its flag: keep the flags.
  for (uint64_t p = 0; p < pages; ++p)
    file[vqr_page_offset(p) + kVqrFlagOffset] = static_cast<uint8_t>(mode);

  const SpanSource source(file);
  Result<RecordingPages> recording = RecordingPages::read(source);
  if (!recording.ok()) return 0;
  RecordingDecoder decoder(*recording);
  std::vector<int16_t> samples;
  while (decoder.next_page() < decoder.page_count()) {
    const std::span<const int16_t> page = decoder.decode_next();
    samples.insert(samples.end(), page.begin(), page.end());
  }
  // The join's sample: as far into the split page as its bytes.
  const uint64_t split_start = decoder.page_start(static_cast<uint32_t>(kPagesBefore));
  const uint64_t split_length =
      decoder.page_start(static_cast<uint32_t>(kPagesBefore + 1)) - split_start;
  const uint64_t into = join_at - vqr_page_offset(split_page);
  const auto join = static_cast<std::size_t>(
      split_start + split_length * std::min<uint64_t>(into, kCodeAreaBytes) / kCodeAreaBytes);
  if (join < 4 * kWindow || join + 2 * kWindow > samples.size()) return 0;

  const double before = mean_roughness(samples, join - 4 * kWindow, join - 8);
  const double after = mean_roughness(samples, join, join + kWindow);
  const double burst = std::max(0.0, std::log((after + 4) / (before + 4)));
  const double level = std::abs(std::log((rms(samples, join, join + 2 * kWindow) + 8) /
                                         (rms(samples, join - 2 * kWindow, join) + 8)));
  return burst + 0.5 * level;
}

}  // namespace calendo::rescue
