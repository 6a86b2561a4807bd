// One rescue run over its sources: each source (a card image, a block device
// or a damaged recording) is opened read-only, its file system listed where
// there is one, scanned whole, and its recordings put back together and
// written to the output folder, with what was found about each.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "calendo/byte_source.h"
#include "file_system.h"
#include "output_folder.h"
#include "page_scan.h"
#include "recording_chain.h"

namespace calendo::rescue {

enum class Origin { FileSystem, Deleted, Carved };

struct RecoveredRecording {
  std::string source;
  std::string output;     // the path written
  std::string container;  // "vqr" or "vqm"
  Origin origin = Origin::Carved;
  std::string entry;             // the file system's path, where it had one
  std::vector<Piece> fragments;  // image offsets, in file order
  uint32_t pages = 0;
  uint32_t pages_lost = 0;
  uint64_t duration_ms = 0;
  bool exact = false;  // the bytes as found, nothing mended
  bool header_rebuilt = false;
  bool cut_short = false;
  std::vector<JoinRecord> joins;
  std::string note;
};

struct RescueReport {
  std::vector<RecoveredRecording> recordings;
  std::vector<std::string> problems;  // sources or files that failed
  uint64_t scanned = 0;
  bool stopped = false;
};

struct RescueProgress {
  std::function<void(const std::string& source, uint64_t scanned, uint64_t size)> scanned;
};

// Refuses (CannotCreate) an output folder on the disk of a source device.
RescueReport rescue_sources(const std::vector<std::string>& sources, OutputFolder& out,
                            const RescueProgress& progress, const std::atomic<bool>& stop);

// One source already open: its recordings into `out`, listed in `report`;
// true when `stop` ended the scan early.
bool rescue_image(const ByteSource& image, const std::string& path,
                  const FileSystemListing* listing, OutputFolder& out, RescueReport& report,
                  const ScanProgress& progress, const std::atomic<bool>& stop);

const char* origin_name(Origin origin);

}  // namespace calendo::rescue
