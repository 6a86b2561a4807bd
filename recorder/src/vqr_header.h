// The 92-byte header of a vqr file.
#pragma once

#include "kestrune.h"
#include "recorder_file.h"
#include "result.h"

namespace kestrune {

inline constexpr uint64_t kVqrHeaderSize = 92;
inline constexpr uint64_t kVqrPageSize = 528;
inline constexpr uint64_t kVqrFlagOffset = 512;  // within a page

// Checks the header and returns the file's parameters, or WrongKind naming the
// first field that fails.
Result<SplpInfo> read_vqr_info(const RecorderFile& file);

}  // namespace kestrune
