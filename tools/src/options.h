// The command line of calendo-convert.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "audio_format.h"
#include "calendo/fault.h"
#include "conversion.h"

namespace calendo::tool {

enum class Mode { kConvert, kInfo, kEncode, kPeaks, kSilences, kHelp, kVersion };

struct Options {
  Mode mode = Mode::kConvert;
  SampleFormat format = SampleFormat::k16Bit;
  std::string output;  // -o: a folder (convert), a file or folder (encode)
  bool force = false;
  bool quiet = false;
  bool verbose = false;  // -v: every file skipped is named, with the reason
  bool json = false;
  bool vtt = false;  // --silences: WebVTT cues
  int jobs = 1;
  bool recursive = false;      // -r: folders are walked for recorder files
  bool skip_existing = false;  // an output that exists is skipped, not a failure
  bool lp = false;             // --encode: LP pages (8000 Hz) whatever the source's rate
  // The file kept (archive_conversion.h).
  std::optional<AudioFormat> output_format;  // --format; else -o's extension, else WAV
  std::optional<double> quality;             // --quality, 0 to 10
  std::optional<double> normalize_lufs;      // --normalize[=LUFS]
  bool tags = false;                         // --tags (WAV; other formats always)
  bool keep_time = true;                     // off with --no-keep-time
  std::vector<std::string> files;
  std::vector<std::string> arguments;  // the command line as given (argv[1 ..])
};

// Parses argv[1 ..]; bad usage is refused as a UsageFault.
Result<Options> ParseOptions(const std::vector<std::string>& arguments);

// A usage error: Unsupported, with the reason.
Fault UsageFault(std::string reason);

// The --help text.
std::string UsageText();

}  // namespace calendo::tool
