// What --info tells about a recorder file: its container, pages, modes and
// play time, read through the same calls the player makes when it opens one.
// The container is told by the file's magic bytes (the name's ending only
// when the content names none, so that the refusal names what was expected;
// a file whose name and content name neither, or an empty one, is "not a
// recorder file (neither vqr nor vqm)").
// A vqr file shorter than its header's data length announces is read as far
// as it goes, with a warning that it is cut short. A vqr header whose page
// size field counts more pages than the file's 528-byte pages holds is not
// believed: the count is cut to the whole pages the file holds, with a
// warning.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "calendo/container.h"
#include "calendo/fault.h"
#include "kestrune.h"

namespace calendo::tool {

struct RecorderInfo {
  std::string path;
  Container container = Container::Vqr;
  SplpInfo splp{};             // the file's parameters, page fields holding the counts
  std::vector<uint8_t> table;  // mode of every page: 0 = SP, 1 = LP
  uint32_t sp_pages = 0;
  uint32_t lp_pages = 0;
  int64_t total_ms = 0;  // play time of all pages as the recorder counts it
  double seconds = 0;    // the audio's own length: codes over their sample rate
  std::string warning;   // what was not believed in the header, or empty
};

// The sample rate in Hz of a rate code (11 is 11025 Hz; 7 and 8 are kHz).
uint32_t RateHz(int16_t rate_code);

// Reads the parameters and the SP/LP table of `path`; a refusal says why, for
// a person. May raise RuntimeError when a library cannot be bound.
Result<RecorderInfo> ReadRecorderInfo(const std::string& path);

// The --info text of one file (several lines, each ending in '\n').
std::string InfoText(const RecorderInfo& info);

// One JSON object for a file, or for a file that could not be read.
std::string InfoJson(const RecorderInfo& info);
std::string ErrorJson(const std::string& path, const std::string& error);

// `text` as a JSON string literal, quotes included. Bytes that are not UTF-8
// each become U+FFFD.
std::string JsonString(const std::string& text);

// Whether `text` is well-formed UTF-8.
bool IsUtf8(const std::string& text);

}  // namespace calendo::tool
