#include "output_plan.h"

#include <filesystem>
#include <system_error>

namespace calendo::tool {

Result<OutputPlan> PlanOutput(const Options& options) {
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
      return UsageFault("-o names one file but " + std::to_string(options.files.size()) +
                        " recorder files are given");
    }
    if (options.output_format && *options.output_format != *named) {
      return UsageFault(std::string("--format ") + FormatName(*options.output_format) +
                        " but -o names a ." + FormatName(*named) + " file");
    }
    plan.format = *named;
    plan.file = options.output;
  } else {
    plan.format = options.output_format.value_or(AudioFormat::kWav);
    plan.folder = options.output;
  }
  if (options.format == SampleFormat::k8Bit && plan.format != AudioFormat::kWav) {
    return UsageFault(std::string("--bits 8 is for WAV files; ") + FormatName(plan.format) +
                      " files hold 16-bit samples");
  }
  if (options.quality && !IsLossy(plan.format)) {
    return UsageFault(std::string("--quality is for the lossy formats (ogg, opus, mp3), not ") +
                      FormatName(plan.format));
  }
  return plan;
}

std::string OutputPathFor(const OutputPlan& plan, const std::string& source) {
  return plan.file.empty() ? AudioPathFor(source, plan.folder, plan.format) : plan.file;
}

}  // namespace calendo::tool
