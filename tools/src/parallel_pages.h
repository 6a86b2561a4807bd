// Every page of a recording decoded on every core (calendo/recording_decoder.h)
// and appended to its WAV file at once: the bytes the libraries' page calls
// append, for the core decodes exactly what they decode, from one open of the
// recorder file. Declined where the core reads the file in any way otherwise
// than the libraries told (pages, modes, page layouts), so that the page calls
// convert it as ever.
#pragma once

#include <cstdint>

#include "calendo/client/wav_conversion.h"
#include "progress.h"
#include "recorder_info.h"

namespace calendo::tool {

// Appends the samples of pages 0 ... pages - 1 of `info`'s file in `format`
// (client::kWav8Bit or kWav16Bit) to the WAV file at `wav_path`, which holds
// its header. `threads` as ParallelDecoder's (0: every core).
client::ConversionSteps::AllPages AppendPagesOnEveryCore(const RecorderInfo& info, uint32_t pages,
                                                         const char* wav_path, int16_t format,
                                                         unsigned threads, ProgressBar& bar,
                                                         int32_t& failed_page);

}  // namespace calendo::tool
