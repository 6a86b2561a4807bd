// --peaks and --silences: the overview and the speech stretches of recorder
// files, read and decoded by the core (every page on every core, the samples
// the 16-bit conversion writes).
#pragma once

#include "options.h"

namespace calendo::tool {

// Writes each file's overview beside it (NAME.dat, or NAME.json with --json),
// into the folder -o names, or, for one file, under the name -o gives.
int RunPeaks(const Options& options);

// Prints each file's speech stretches: lines, --json or --vtt.
int RunSilences(const Options& options);

}  // namespace calendo::tool
