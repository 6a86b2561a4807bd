// Feeds arbitrary bytes to the rescue as a card image without a file
// system: the scan, the following of recordings with their joins, the
// mending of pages and headers and the vqm carving, with the recovered files
// written under TMPDIR. The first input byte chooses the cluster grid; the
// next bytes plant page marks (a flag and its trailer) at places they name,
// so that runs of pages, broken runs and joins occur in every input. Traps
// when a recovered vqr file does not hold whole pages.
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "rescue_run.h"

namespace {

using namespace calendo;

void check(bool holds) {
  if (!holds) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4 || size > (1u << 20)) return 0;
  std::vector<uint8_t> image(data + 4, data + size);
  const uint64_t cluster = uint64_t{512} << (data[0] % 4);
  // Plant up to 64 marks, each as a run of pages from where the bytes say.
  for (size_t i = 1; i + 1 < 4 && !image.empty(); i += 2) {
    const uint64_t start = (uint64_t{data[i]} << 8 | data[i + 1]) * 97 % image.size();
    for (uint64_t flag = start + 512; flag + 16 <= image.size() && flag < start + 512 + 64 * 528;
         flag += 528) {
      image[flag] = data[i] & 1;
      for (int t = 1; t < 16; ++t) image[flag + t] = 0xFF;
      if ((data[i] & 1) == 0) image[flag - 1] = image[flag - 2] = 0xFF;
    }
  }

  const auto dir =
      std::filesystem::temp_directory_path() / ("rescue-fuzz-" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  Result<rescue::OutputFolder> out = rescue::OutputFolder::open(dir.string());
  if (!out.ok()) return 0;
  const SpanSource source(image);
  rescue::FileSystemListing grid;
  grid.geometry = {(data[3] % 8) * uint64_t{512}, cluster};
  rescue::RescueReport report;
  std::atomic<bool> stop{false};
  rescue::rescue_image(source, "fuzz.img", &grid, *out, report, {}, stop);
  for (const rescue::RecoveredRecording& r : report.recordings) {
    if (r.container != "vqr") continue;
    const uint64_t bytes = std::filesystem::file_size(r.output);
    check(bytes >= 92 && (bytes - 92) % 528 == 0 && (bytes - 92) / 528 == r.pages);
    check(r.pages_lost <= r.pages);
  }
  std::filesystem::remove_all(dir);
  return 0;
}
