// Making a recorder file (vqr) from a PCM WAV file through the library's
// encoder: an 11025 Hz source gives SP pages, an 8000 Hz source LP pages; any
// other WAV file is first made mono at one of those rates (pcm_source.h).
// Calls: wav_vqr_check (size, or why the file is refused), wav_vqr_mkheader,
// then wav_vqr_encoder in runs of pages from page 0 on. The file appears under
// its name only when complete (pending_file.h).
//
// Threads: one encoding at a time per process (one encoder state).
#pragma once

#include <cstdint>
#include <string>

namespace calendo::tool {

struct EncodingRequest {
  std::string source;       // the WAV file
  std::string destination;  // the vqr file
  bool replace = false;
  bool progress = false;
  bool lp = false;  // --lp: LP pages (8000 Hz) whatever the source's rate
};

// The message for a refusal code of the check (1 to 7), naming what is wrong
// with the WAV file at `path`.
std::string CheckRefusalText(uint32_t code, const std::string& path);

// Where the vqr file of `wav` goes when no name is given: beside it, the
// extension replaced by ".vqr".
std::string VqrPathFor(const std::string& wav);

// Encodes; on failure returns false with the reason in `error` and no file
// under the destination's name made or changed. `pages` receives the number
// of pages written, `warning` (when given) what of the source was left out.
// May raise RuntimeError when a library cannot be bound.
bool EncodeWav(const EncodingRequest& request, uint32_t& pages, std::string& error,
               std::string* warning = nullptr);

}  // namespace calendo::tool
