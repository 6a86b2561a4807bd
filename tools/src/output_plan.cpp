#include "output_plan.h"

#include <filesystem>
#include <system_error>

namespace calendo::tool {

std::optional<OutputPlan> PlanOutput(const Options& options, std::string& error) {
  OutputPlan plan;
  std::error_code ignored;
  // With -r, -o is always the folder the tree is laid out in.
  const std::optional<AudioFormat> named =
      options.recursive || options.output.empty() ||
              std::filesystem::is_directory(options.output, ignored)
          ? std::nullopt
          : FormatOfFileName(options.output);
  if (named) {
    if (options.files.size() > 1) {
      error = "-o names one file but " + std::to_string(options.files.size()) +
              " recorder files are given";
      return std::nullopt;
    }
    if (options.output_format && *options.output_format != *named) {
      error = std::string("--format ") + FormatName(*options.output_format) + " but -o names a ." +
              FormatName(*named) + " file";
      return std::nullopt;
    }
    plan.format = *named;
    plan.file = options.output;
  } else {
    plan.format = options.output_format.value_or(AudioFormat::kWav);
    plan.folder = options.output;
  }
  if (options.format == SampleFormat::k8Bit && plan.format != AudioFormat::kWav) {
    error = std::string("--bits 8 is for WAV files; ") + FormatName(plan.format) +
            " files hold 16-bit samples";
    return std::nullopt;
  }
  if (options.quality && !IsLossy(plan.format)) {
    error = std::string("--quality is for the lossy formats (ogg, opus, mp3), not ") +
            FormatName(plan.format);
    return std::nullopt;
  }
  return plan;
}

std::string OutputPathFor(const OutputPlan& plan, const std::string& source) {
  return plan.file.empty() ? AudioPathFor(source, plan.folder, plan.format) : plan.file;
}

}  // namespace calendo::tool
