// The WAV file the library's encoder reads for --encode. The encoder takes
// mono 8- or 16-bit PCM at 11025 Hz (SP) or 8000 Hz (LP) in a canonical
// header; any other PCM or floating-point WAV file is read with libsndfile,
// mixed to mono (the mean of its channels), resampled with libsoxr when its
// rate is not the target's, scaled to 16 bits and written under a temporary
// name that the encoder reads in its place. A file the encoder takes as it is
// goes to it unchanged, so its recorder file is what it always was.
//
// A file whose header announces more samples than it holds is encoded as far
// as it holds, with a warning: the encoder would size the recording from the
// header and fill the rest with nothing.
//
// Threads: one thread per process (the temporary file is a PendingFile).
#pragma once

#include <optional>
#include <string>

#include "calendo/fault.h"
#include "calendo/pending_file.h"

namespace calendo::tool {

inline constexpr int kSpRate = 11025;
inline constexpr int kLpRate = 8000;

struct EncoderInput {
  std::string path;                      // what the encoder reads
  std::optional<PendingFile> temporary;  // the file made for it, removed when done
  std::string warning;                   // e.g. samples missing; else empty
};

// Prepares `wav` for the encoder: LP (8000 Hz) when `lp` or when the file is
// 8000 Hz already, else SP (11025 Hz). A temporary file goes beside
// `destination`.
Result<EncoderInput> PrepareEncoderInput(const std::string& wav, bool lp,
                                         const std::string& destination);

}  // namespace calendo::tool
