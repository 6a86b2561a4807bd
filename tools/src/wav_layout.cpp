#include "wav_layout.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "calendo/byte_order.h"
#include "calendo/io.h"

namespace calendo::tool {
namespace {

constexpr uint64_t kRiffHeader = 12;
constexpr uint64_t kChunkHeader = 8;
constexpr int kMostChunks = 4096;  // a file of more is no WAV file written by anyone

}  // namespace

Result<WavLayout> ReadWavLayout(const std::string& path) {
  const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat info {};
  if (!fd.valid() || ::fstat(fd.get(), &info) != 0) {
    const int error_number = errno;
    return Fault{Failure::CannotRead, 0, "cannot be read: " + system_text(error_number),
                 error_number};
  }
  const auto size = static_cast<uint64_t>(info.st_size);
  std::array<uint8_t, kRiffHeader> riff{};
  if (read_up_to_at(fd.get(), 0, riff) != riff.size() ||
      (std::memcmp(riff.data(), "RIFF", 4) != 0 && std::memcmp(riff.data(), "RF64", 4) != 0) ||
      std::memcmp(riff.data() + 8, "WAVE", 4) != 0) {
    return Fault{Failure::WrongKind, 0, "is not a WAV file"};
  }
  const bool rf64 = std::memcmp(riff.data(), "RF64", 4) == 0;
  WavLayout layout;
  bool has_format = false;
  uint64_t at = kRiffHeader;
  for (int chunk = 0; chunk < kMostChunks && at + kChunkHeader <= size; ++chunk) {
    std::array<uint8_t, kChunkHeader> header{};
    if (read_up_to_at(fd.get(), at, header) != header.size()) break;
    const uint64_t length = le32(header.data() + 4);
    const uint64_t body = at + kChunkHeader;
    if (std::memcmp(header.data(), "fmt ", 4) == 0 && !has_format) {
      std::array<uint8_t, 14> format{};
      if (read_up_to_at(fd.get(), body, format) != format.size()) break;
      layout.rate = le32(format.data() + 4);
      layout.frame_bytes = le16(format.data() + 12);
      has_format = true;
    } else if (std::memcmp(header.data(), "data", 4) == 0 && !layout.has_data) {
      const uint64_t rest = size - body;
      layout.has_data = true;
      // An RF64 file keeps its lengths elsewhere and says 0xFFFFFFFF here; a
      // file written as a stream may say 0 before its samples.
      layout.length_known = !rf64 && length != 0xFFFFFFFF && !(length == 0 && rest > 0);
      layout.announced_bytes = layout.length_known ? length : rest;
      layout.held_bytes = std::min(layout.announced_bytes, rest);
    }
    at = body + length + (length & 1);  // chunks are padded to even lengths
  }
  if (!has_format) return Fault{Failure::WrongKind, 0, "the WAV has no fmt chunk"};
  if (layout.rate < kLowestWavRate || layout.rate > kHighestWavRate) {
    return Fault{
        Failure::Unsupported, 0,
        "sample rate " + std::to_string(layout.rate) + " Hz is out of range (1000 Hz to 768 kHz)"};
  }
  if (layout.has_data && layout.held_bytes < std::max<uint64_t>(layout.frame_bytes, 1))
    return Fault{Failure::WrongKind, 0, "the WAV holds no samples"};
  return layout;
}

std::string TruncationWarning(const WavLayout& layout) {
  if (!layout.length_known || layout.frame_bytes == 0 || layout.rate == 0) return {};
  const uint64_t announced = layout.announced_bytes / layout.frame_bytes;
  const uint64_t held = layout.held_bytes / layout.frame_bytes;
  if (announced <= held) return {};
  auto seconds = [&](uint64_t frames) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(frames) / layout.rate);
    return std::string(text);
  };
  return "the header announces " + seconds(announced) + " of samples but the file holds " +
         seconds(held) + "; encoding what it holds";
}

}  // namespace calendo::tool
