// Converting one recorder file to a file for keeping: WAV, FLAC, Ogg Vorbis,
// Opus or MP3, optionally loudness-normalised, tagged, with the recorder
// file's modification time.
//
// Every format starts from the player's WAV conversion (conversion.h) under
// the destination's temporary name. A plain WAV file stays exactly that file.
// Otherwise the complete WAV file is opened for reading, its name is freed,
// and the chosen encoder writes the destination's format under the same
// temporary name from those samples: a FLAC file holds exactly the samples of
// the 16-bit WAV file. With --normalize a first pass over the samples
// measures the gain (loudness.h). The result gets its own name only when
// complete (calendo/pending_file.h).
//
// Threads: one conversion at a time per process (one codec state).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "audio_format.h"
#include "calendo/fault.h"
#include "conversion.h"

namespace calendo::tool {

struct ArchiveRequest {
  ConversionRequest conversion;  // source, destination, --bits, --force, progress
  AudioFormat format = AudioFormat::kWav;
  std::optional<double> quality;         // lossy formats: 0 to 10
  std::optional<double> normalize_lufs;  // --normalize: the target
  bool wav_tags = false;                 // --tags: a LIST/INFO chunk in WAV files
  bool keep_time = true;                 // the source's modification time
};

struct ArchiveResult {
  ConversionResult conversion;  // what the WAV conversion decoded
  uint32_t rate = 0;            // samples a second in the file written
  int bits = 16;                // sample size of a WAV file written
  std::string summary;          // "FLAC", "Opus 24 kbit/s", ...
  std::vector<std::string> notes;
};

// Converts; on a refusal no file under the destination's name has been made
// or changed. May raise RuntimeError when a library cannot be bound.
Result<ArchiveResult> ConvertToArchive(const ArchiveRequest& request);

}  // namespace calendo::tool
