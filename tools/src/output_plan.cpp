#include "output_plan.h"

#include <cctype>
#include <filesystem>
#include <system_error>

namespace calendo::tool {
namespace {

// ".m4a", ".aiff": 2 to 4 letters and digits, a letter among them.
bool LooksLikeFormatExtension(const std::string& extension) {
  if (extension.size() < 3 || extension.size() > 5) return false;
  bool letter = false;
  for (const char c : extension.substr(1)) {
    const auto byte = static_cast<unsigned char>(c);
    if (!std::isalnum(byte)) return false;
    letter |= std::isalpha(byte) != 0;
  }
  return letter;
}

}  // namespace

Result<OutputPlan> PlanOutput(const Options& options) {
  OutputPlan plan;
  std::error_code ignored;
  // With -r, -o is always the folder the tree is laid out in.
  const std::optional<AudioFormat> named =
      options.recursive || options.output.empty() ||
              std::filesystem::is_directory(options.output, ignored)
          ? std::nullopt
          : FormatOfFileName(options.output);
  if (!named && !options.recursive && !options.output.empty() &&
      !std::filesystem::exists(options.output, ignored)) {
    // A new name with an extension of a file format is meant as a file, not
    // as a folder; "take.2024" or "sp.vqr-8" are folders.
    const std::string extension = std::filesystem::path(options.output).extension().string();
    if (LooksLikeFormatExtension(extension)) {
      return UsageFault("-o " + options.output + ": " + extension +
                        " is no format written here (wav, flac, ogg, opus, mp3); a folder of "
                        "that name is made by -o " +
                        options.output + "/");
    }
  }
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
