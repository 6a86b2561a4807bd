#include "options.h"

#include <charconv>
#include <cmath>
#include <utility>

#include "calendo/loudness.h"
#include "encoder_settings.h"

namespace calendo::tool {
namespace {

constexpr int kMaxJobs = 256;
constexpr double kQuietestTarget = -70.0;  // LUFS; libebur128's gate

std::optional<int> ParseNumber(const std::string& text) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, failure] = std::from_chars(text.data(), end, value);
  if (failure != std::errc() || stop != end) return std::nullopt;
  return value;
}

std::optional<double> ParseDecimal(const std::string& text) {
  double value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, failure] = std::from_chars(text.data(), end, value);
  // from_chars takes "nan" and "inf", which no range check below refuses.
  if (text.empty() || failure != std::errc() || stop != end || !std::isfinite(value))
    return std::nullopt;
  return value;
}

// What --peaks and --silences take: one of them, no other command, none of
// the conversion's options.
Status CheckOverviewOptions(const Options& options, bool peaks, bool silences, bool other_command,
                            bool conversion_options) {
  if (options.vtt && !silences) return UsageFault("--vtt is for --silences");
  if (!peaks && !silences) return Status{};
  if (peaks && silences) return UsageFault("--peaks and --silences exclude each other");
  if (other_command) return UsageFault("--peaks and --silences exclude --info and --encode");
  if (conversion_options || options.recursive || options.skip_existing || options.lp ||
      options.jobs != 1) {
    return UsageFault("--peaks and --silences take only -o, --force, --quiet and --json");
  }
  if (silences && !options.output.empty())
    return UsageFault("--silences prints to standard output and takes no -o");
  if (silences && options.json && options.vtt)
    return UsageFault("--json and --vtt exclude each other");
  if (silences && (options.json || options.vtt) && options.files.size() > 1)
    return UsageFault("--silences --json or --vtt takes one file");
  return Status{};
}

}  // namespace

Fault UsageFault(std::string reason) {
  return Fault{Failure::Unsupported, 0, std::move(reason)};
}

std::string UsageText() {
  return "Usage: calendo-convert [options] FILE...\n"
         "       calendo-convert -r [options] DIR... [-o OUT]\n"
         "       calendo-convert --info [--json] FILE...\n"
         "       calendo-convert --encode [--lp] WAV... [-o OUT.vqr]\n"
         "       calendo-convert --peaks [--json] FILE... [-o OUT]\n"
         "       calendo-convert --silences [--json|--vtt] FILE...\n"
         "\n"
         "Converts recorder files (vqr, vqm: told by their content, whatever their\n"
         "names) to mono WAV, FLAC, Ogg Vorbis, Opus or MP3 files, tells what they\n"
         "hold, or makes recorder files from WAV files.\n"
         "\n"
         "  -b, --bits 8|16   sample size of the WAV files (default 16); 8 for WAV only\n"
         "  -o, --output DIR  write the files into DIR (default: beside each file); for\n"
         "                    one file, -o NAME.wav|flac|ogg|opus|mp3 names the file\n"
         "                    and its format; with --encode, the recorder file to make\n"
         "                    (or a folder)\n"
         "      --format F    wav (default), flac, ogg, opus or mp3\n"
         "      --quality Q   ogg, opus, mp3: 0 (smallest) to 10 (best); default for\n"
         "                    speech: ogg q3, opus 24 kbit/s, mp3 32 kbit/s\n"
         "      --normalize[=LUFS]  one gain for the whole file to reach LUFS (default\n"
         "                    -16), held down to a true peak of -1 dBTP\n"
         "      --tags        WAV: add title, date, comment, software (a LIST/INFO\n"
         "                    chunk after the samples); other formats always get them\n"
         "      --no-keep-time  the files get the time they are written, not the\n"
         "                    recorder file's modification time\n"
         "  -f, --force       replace files that exist\n"
         "  -j, --jobs N      convert N files at once, each in its own process\n"
         "  -r, --recursive   convert the recorder files in every folder DIR and the\n"
         "                    folders in it; OUT gets the same folders (one for each\n"
         "                    DIR when there are several); other files are skipped\n"
         "      --skip-existing  skip a file whose WAV file exists (to go on with a\n"
         "                    run that was interrupted)\n"
         "  -q, --quiet       no progress line, no report of the files written\n"
         "  -v, --verbose     name every file skipped, and why\n"
         "      --info        print the container, pages, modes and play time\n"
         "      --json        the same as --info, as JSON\n"
         "      --encode      make a recorder file from each PCM WAV file: mono 11025 Hz\n"
         "                    (SP) or 8000 Hz (LP) as it is; any other rate is\n"
         "                    resampled to 11025 Hz, stereo mixed to mono, 24-bit,\n"
         "                    32-bit and float samples scaled to 16 bits\n"
         "      --lp          with --encode: LP pages, resampling to 8000 Hz\n"
         "      --peaks       write the waveform overview of each file (NAME.dat,\n"
         "                    version 2: min/max of every 256 samples; NAME.json with\n"
         "                    --json)\n"
         "      --silences    print the stretches of speech between the pauses (start\n"
         "                    and end in seconds); --json, or --vtt for WebVTT cues\n"
         "  -h, --help        show this text\n"
         "  -V, --version     show the version\n"
         "\n"
         "A file is written under a temporary name and gets its own name only when it\n"
         "is complete; it keeps the recorder file's modification time. A run of\n"
         "several files ends with a summary line. Exit status: 0 when every file\n"
         "was done or skipped, 1 when some failed (each named on standard error),\n"
         "2 for bad usage.\n";
}

Result<Options> ParseOptions(const std::vector<std::string>& arguments) {
  Options options;
  options.arguments = arguments;
  std::string error;  // what the lambdas below refuse
  bool info = false;
  bool encode = false;
  bool peaks = false;     // --peaks
  bool silences = false;  // --silences
  bool bits_given = false;
  bool archive_given = false;  // an option of the file kept
  bool options_end = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    std::string argument = arguments[i];
    if (options_end || argument.empty() || argument[0] != '-' || argument == "-") {
      options.files.push_back(argument);
      continue;
    }
    // "--name=value" and "-xVALUE" carry their value; otherwise it is the next argument.
    std::optional<std::string> attached;
    if (argument.rfind("--", 0) == 0) {
      if (const auto equals = argument.find('='); equals != std::string::npos) {
        attached = argument.substr(equals + 1);
        argument.resize(equals);
      }
    } else if (argument.size() > 2) {
      attached = argument.substr(2);
      argument.resize(2);
    }
    auto value = [&](const char* name) -> std::optional<std::string> {
      if (attached) return attached;
      if (i + 1 < arguments.size()) return arguments[++i];
      error = std::string(name) + " needs a value";
      return std::nullopt;
    };
    auto takes_no_value = [&] {
      if (!attached) return true;
      error = "option " + argument + " takes no value";
      return false;
    };

    if (argument == "--") {
      options_end = true;
    } else if (argument == "-h" || argument == "--help") {
      if (!takes_no_value()) return UsageFault(error);
      options.mode = Mode::kHelp;
      return options;
    } else if (argument == "-V" || argument == "--version") {
      if (!takes_no_value()) return UsageFault(error);
      options.mode = Mode::kVersion;
      return options;
    } else if (argument == "-b" || argument == "--bits") {
      const auto text = value("--bits");
      if (!text) return UsageFault(error);
      if (*text == "8") {
        options.format = SampleFormat::k8Bit;
      } else if (*text == "16") {
        options.format = SampleFormat::k16Bit;
      } else {
        return UsageFault("--bits takes 8 or 16, not '" + *text + "'");
      }
      bits_given = true;
    } else if (argument == "-o" || argument == "--output") {
      const auto text = value("-o");
      if (!text) return UsageFault(error);
      if (text->empty()) {
        return UsageFault("-o needs a name");
      }
      options.output = *text;
    } else if (argument == "-j" || argument == "--jobs") {
      const auto text = value("-j");
      if (!text) return UsageFault(error);
      const auto jobs = ParseNumber(*text);
      if (!jobs || *jobs < 1 || *jobs > kMaxJobs) {
        return UsageFault("-j takes a number of processes from 1 to " + std::to_string(kMaxJobs) +
                          ", not '" + *text + "'");
      }
      options.jobs = *jobs;
    } else if (argument == "--format") {
      const auto text = value("--format");
      if (!text) return UsageFault(error);
      options.output_format = FormatNamed(*text);
      if (!options.output_format) {
        return UsageFault("--format takes wav, flac, ogg, opus or mp3, not '" + *text + "'");
      }
      archive_given = true;
    } else if (argument == "--quality") {
      const auto text = value("--quality");
      if (!text) return UsageFault(error);
      options.quality = ParseDecimal(*text);
      if (!options.quality || *options.quality < kMinQuality || *options.quality > kMaxQuality) {
        return UsageFault("--quality takes a number from 0 to 10, not '" + *text + "'");
      }
      archive_given = true;
    } else if (argument == "--normalize") {
      // The target is attached only (--normalize=-18): a file name may follow.
      options.normalize_lufs = attached ? ParseDecimal(*attached) : kDefaultLoudnessLufs;
      if (!options.normalize_lufs || *options.normalize_lufs < kQuietestTarget ||
          *options.normalize_lufs > 0) {
        return UsageFault("--normalize takes a loudness from -70 to 0 LUFS, not '" +
                          attached.value_or("") + "'");
      }
      archive_given = true;
    } else if (argument == "--tags") {
      if (!takes_no_value()) return UsageFault(error);
      options.tags = true;
      archive_given = true;
    } else if (argument == "--no-keep-time") {
      if (!takes_no_value()) return UsageFault(error);
      options.keep_time = false;
      archive_given = true;
    } else if (argument == "-f" || argument == "--force") {
      if (!takes_no_value()) return UsageFault(error);
      options.force = true;
    } else if (argument == "-q" || argument == "--quiet") {
      if (!takes_no_value()) return UsageFault(error);
      options.quiet = true;
    } else if (argument == "-v" || argument == "--verbose") {
      if (!takes_no_value()) return UsageFault(error);
      options.verbose = true;
    } else if (argument == "--info") {
      if (!takes_no_value()) return UsageFault(error);
      info = true;
    } else if (argument == "--json") {
      if (!takes_no_value()) return UsageFault(error);
      options.json = true;
    } else if (argument == "--peaks" || argument == "--silences") {
      if (!takes_no_value()) return UsageFault(error);
      (argument == "--peaks" ? peaks : silences) = true;
    } else if (argument == "--vtt") {
      if (!takes_no_value()) return UsageFault(error);
      options.vtt = true;
    } else if (argument == "--encode") {
      if (!takes_no_value()) return UsageFault(error);
      encode = true;
    } else if (argument == "-r" || argument == "--recursive") {
      if (!takes_no_value()) return UsageFault(error);
      options.recursive = true;
    } else if (argument == "--skip-existing") {
      if (!takes_no_value()) return UsageFault(error);
      options.skip_existing = true;
    } else if (argument == "--lp") {
      if (!takes_no_value()) return UsageFault(error);
      options.lp = true;
    } else {
      return UsageFault("unknown option " + arguments[i]);
    }
  }

  // --json alone tells what the files hold, as JSON.
  if (options.json && !peaks && !silences) info = true;
  if (const Status overview = CheckOverviewOptions(options, peaks, silences, info || encode,
                                                   bits_given || archive_given);
      !overview.ok()) {
    return overview.fault();
  }
  if (info && encode) {
    return UsageFault("--info and --encode exclude each other");
  }
  if (info && !options.output.empty()) {
    return UsageFault("--info writes no files and takes no -o");
  }
  if (encode && bits_given) {
    return UsageFault("--bits is for WAV files made from recorder files, not for --encode");
  }
  if (options.lp && !encode) {
    return UsageFault("--lp is for --encode");
  }
  if ((info || encode) && (options.recursive || options.skip_existing)) {
    return UsageFault(std::string(options.recursive ? "-r" : "--skip-existing") +
                      " is for converting recorder files, not for --info or --encode");
  }
  if ((info || encode) && archive_given) {
    return UsageFault(
        "--format, --quality, --normalize, --tags and --no-keep-time are for converting "
        "recorder files");
  }
  if (options.files.empty()) {
    return UsageFault("no files given");
  }
  options.mode = info       ? Mode::kInfo
                 : encode   ? Mode::kEncode
                 : peaks    ? Mode::kPeaks
                 : silences ? Mode::kSilences
                            : Mode::kConvert;
  return options;
}

}  // namespace calendo::tool
