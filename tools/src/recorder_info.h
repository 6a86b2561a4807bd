// What --info tells about a recorder file: its container, pages, modes and
// play time, read through the same calls the player makes when it opens one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "kestrune.h"

namespace calendo::tool {

struct RecorderInfo {
  std::string path;
  int16_t kind = KESTRUNE_VQR;
  SplpInfo splp{};             // the file's parameters, page fields holding the counts
  std::vector<uint8_t> table;  // mode of every page: 0 = SP, 1 = LP
  uint32_t sp_pages = 0;
  uint32_t lp_pages = 0;
  int64_t total_ms = 0;  // play time of all pages
};

// Reads the parameters and the SP/LP table of `path`. On failure returns
// nothing and puts the reason, for a person, into `error`. May raise
// RuntimeError when a library cannot be bound.
std::optional<RecorderInfo> ReadRecorderInfo(const std::string& path, std::string& error);

// The --info text of one file (several lines, each ending in '\n').
std::string InfoText(const RecorderInfo& info);

// One JSON object for a file, or for a file that could not be read.
std::string InfoJson(const RecorderInfo& info);
std::string ErrorJson(const std::string& path, const std::string& error);

// `text` as a JSON string literal, quotes included.
std::string JsonString(const std::string& text);

}  // namespace calendo::tool
