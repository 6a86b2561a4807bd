// Where calendo-convert writes and in which format: -o names a folder, or,
// for a single recorder file, the file to make, whose extension (.wav, .flac,
// .ogg, .opus, .mp3) chooses the format. An existing folder, or a name with
// no extension, is a folder; a new name with another extension (out.m4a) is
// refused, as a file of a format not written here. Without -o the files go
// beside the recorder files; without --format or such a name, as WAV.
#pragma once

#include <string>

#include "audio_format.h"
#include "calendo/fault.h"
#include "options.h"

namespace calendo::tool {

struct OutputPlan {
  AudioFormat format = AudioFormat::kWav;
  std::string folder;  // where the files go; empty: beside each source
  std::string file;    // the one file -o names, else empty
};

// The plan of a convert command line. A contradiction (a format that cannot
// take --bits 8 or --quality, two formats named, one file for several
// sources) is refused as Unsupported, a usage error.
Result<OutputPlan> PlanOutput(const Options& options);

// The file made from `source`.
std::string OutputPathFor(const OutputPlan& plan, const std::string& source);

}  // namespace calendo::tool
