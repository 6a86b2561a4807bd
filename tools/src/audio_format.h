// The file formats calendo-convert writes, their names on the command line and
// their file name extensions.
#pragma once

#include <optional>
#include <string>

namespace calendo::tool {

enum class AudioFormat { kWav, kFlac, kOgg, kOpus, kMp3 };

// "wav", "flac", "ogg", "opus", "mp3": the --format name, also the extension.
const char* FormatName(AudioFormat format);

// The format of a --format name; nothing for another name.
std::optional<AudioFormat> FormatNamed(const std::string& name);

// The format a file name's extension stands for (any case): nothing when the
// name has no extension of a format written here.
std::optional<AudioFormat> FormatOfFileName(const std::string& path);

// Lossy formats take --quality; WAV and FLAC keep every sample.
bool IsLossy(AudioFormat format);

// Where the file of `source` goes in `folder` (beside the source when empty):
// its name with the extension (from the last dot) replaced by the format's.
std::string AudioPathFor(const std::string& source, const std::string& folder, AudioFormat format);

}  // namespace calendo::tool
