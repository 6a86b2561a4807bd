// Making a recorder file (vqr) from a PCM WAV file through the library's
// encoder: an 11025 Hz source gives SP pages, an 8000 Hz source LP pages; any
// other WAV file is first made mono at one of those rates (pcm_source.h).
// Calls: wav_vqr_check (size, or why the file is refused), wav_vqr_mkheader,
// then wav_vqr_encoder in runs of pages from page 0 on. The file appears under
// its name only when complete (calendo/pending_file.h).
//
// Threads: one encoding at a time per process (one encoder state).
#pragma once

#include <cstdint>
#include <string>

#include "calendo/fault.h"

namespace calendo::tool {

struct EncodingRequest {
  std::string source;       // the WAV file
  std::string destination;  // the vqr file
  bool replace = false;
  bool progress = false;
  bool lp = false;  // --lp: LP pages (8000 Hz) whatever the source's rate
};

struct EncodingResult {
  uint32_t pages = 0;   // pages written
  std::string warning;  // what of the source was left out, or empty
};

// The refusal for a result code of the check (1 to 7), naming what is wrong
// with the WAV file at `path`.
Fault CheckRefusal(uint32_t code, const std::string& path);

// Where the vqr file of `wav` goes when no name is given: beside it, the
// extension replaced by ".vqr".
std::string VqrPathFor(const std::string& wav);

// Encodes; on a refusal no file under the destination's name has been made
// or changed. May raise RuntimeError when a library cannot be bound.
Result<EncodingResult> EncodeWav(const EncodingRequest& request);

}  // namespace calendo::tool
