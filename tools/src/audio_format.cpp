#include "audio_format.h"

#include <array>
#include <cctype>
#include <filesystem>

namespace calendo::tool {
namespace {

constexpr std::array kFormats = {AudioFormat::kWav, AudioFormat::kFlac, AudioFormat::kOgg,
                                 AudioFormat::kOpus, AudioFormat::kMp3};

}  // namespace

const char* FormatName(AudioFormat format) {
  switch (format) {
    case AudioFormat::kWav:
      return "wav";
    case AudioFormat::kFlac:
      return "flac";
    case AudioFormat::kOgg:
      return "ogg";
    case AudioFormat::kOpus:
      return "opus";
    case AudioFormat::kMp3:
      return "mp3";
  }
  return "wav";
}

std::optional<AudioFormat> FormatNamed(const std::string& name) {
  for (const AudioFormat format : kFormats) {
    if (name == FormatName(format)) return format;
  }
  return std::nullopt;
}

std::optional<AudioFormat> FormatOfFileName(const std::string& path) {
  std::string extension = std::filesystem::path(path).extension().string();
  if (extension.size() < 2) return std::nullopt;
  extension.erase(0, 1);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return FormatNamed(extension);
}

bool IsLossy(AudioFormat format) {
  return format == AudioFormat::kOgg || format == AudioFormat::kOpus || format == AudioFormat::kMp3;
}

std::string AudioPathFor(const std::string& source, const std::string& folder, AudioFormat format) {
  std::filesystem::path name = std::filesystem::path(source).filename();
  name.replace_extension(std::string(".") + FormatName(format));
  if (folder.empty()) return (std::filesystem::path(source).parent_path() / name).string();
  return (std::filesystem::path(folder) / name).string();
}

}  // namespace calendo::tool
