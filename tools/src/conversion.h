// Converting one recorder file to a WAV file by the player's conversion
// (calendo/client/wav_conversion.h), so that the two write the same bytes.
//
// The file's pages and their modes come from play_splpget, pb_splptblmk and
// splp_pageno, as when the player opens a file. The samples are decoded on
// every core from one open of the file (parallel_pages.h), the very bytes the
// player's page calls write, or through those calls where the core reads the
// file otherwise than they would. Unlike the player, the WAV
// file is written under a temporary name and renamed when complete, and a
// page that can no longer be read or a sample that cannot be written ends the
// conversion with an error (no file left behind), as does a recording that
// changes while it is read (Changed: "changed while it was read: ...").
//
// Threads: one conversion at a time per process (one codec state); the
// decoding's threads end with the conversion.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "calendo/client/wav_conversion.h"
#include "calendo/fault.h"
#include "progress.h"
#include "recorder_info.h"

namespace calendo::tool {

enum class SampleFormat : int16_t { k8Bit = client::kWav8Bit, k16Bit = client::kWav16Bit };

struct ConversionRequest {
  std::string source;
  std::string destination;
  SampleFormat format = SampleFormat::k16Bit;
  bool replace = false;                       // --force: an existing destination is replaced
  bool progress = false;                      // draw the progress line
  unsigned threads = 0;                       // cores the decoding may use (0: all)
  SharedProgress* shared_progress = nullptr;  // pages done, for a parent's line (-j)
};

struct ConversionResult {
  uint32_t pages = 0;
  uint32_t sample_rate = 0;
  uint32_t data_bytes = 0;
  int bits = 0;
  std::string warning;  // what of the source was not believed (recorder_info.h), or empty
  int64_t duration_ms() const;
};

// Where the WAV file of `source` goes: in `folder` (or beside the source when
// empty), the file name with its extension (from the last dot) replaced by
// ".wav", or ".wav" added when it has none.
std::string WavPathFor(const std::string& source, const std::string& folder);

// A last step on the complete WAV file, still under its temporary name
// `pending_path`, before it gets the destination's name: a Fault ends the
// conversion with no file made.
using FinishStep = std::function<Status(const std::string& pending_path, const RecorderInfo& info,
                                        const ConversionResult& result)>;

// Converts; on a refusal no file under the destination's name has been made
// or changed. May raise RuntimeError when a library cannot be bound.
Result<ConversionResult> ConvertToWav(const ConversionRequest& request,
                                      const FinishStep& finish = {});

}  // namespace calendo::tool
