// Feeds arbitrary bytes to the rescue as a card image with a file system:
// the library's listing of live and deleted entries, the table chains of
// the entries never closed, and the rescue that follows the listing, with
// the recovered files written under TMPDIR. The image is a file, as the
// library reads one. Traps when a recovered vqr file does not hold whole
// pages.
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "calendo/byte_source.h"
#include "file_system.h"
#include "rescue_run.h"

namespace {

using namespace calendo;

void check(bool holds) {
  if (!holds) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 512 || size > (1u << 20)) return 0;
  const auto dir =
      std::filesystem::temp_directory_path() / ("rescue-fs-fuzz-" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const std::string image_path = (dir / "card.img").string();
  {
    std::ofstream image(image_path, std::ios::binary);
    image.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  const Result<rescue::FileSystemListing> listing = rescue::list_file_system(image_path);
  if (listing.ok()) {
    Result<rescue::OutputFolder> out = rescue::OutputFolder::open((dir / "out").string());
    if (out.ok()) {
      const SpanSource source(std::span(data, size));
      rescue::RescueReport report;
      std::atomic<bool> stop{false};
      rescue::rescue_image(source, image_path, &*listing, *out, report, {}, stop);
      for (const rescue::RecoveredRecording& r : report.recordings) {
        if (r.container != "vqr") continue;
        const uint64_t bytes = std::filesystem::file_size(r.output);
        check(bytes >= 92 && (bytes - 92) % 528 == 0 && (bytes - 92) / 528 == r.pages);
      }
    }
  }
  std::filesystem::remove_all(dir);
  return 0;
}
