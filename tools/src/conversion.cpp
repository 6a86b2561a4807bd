#include "conversion.h"

#include <sys/statvfs.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "libraries.h"
#include "pending_file.h"
#include "progress.h"
#include "recorder_info.h"

namespace calendo::tool {
namespace {

uint32_t Le32(const uint8_t* bytes) {
  return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
         uint32_t{bytes[3]} << 24;
}

// Free bytes for an unprivileged writer in the folder of `path`, or -1.
int64_t FreeBytes(const std::string& path) {
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  struct statvfs fs {};
  if (::statvfs(folder.empty() ? "." : folder.c_str(), &fs) != 0) return -1;
  return static_cast<int64_t>(fs.f_bavail) * static_cast<int64_t>(fs.f_frsize);
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error);
}

}  // namespace

int64_t ConversionResult::duration_ms() const {
  const uint32_t block = bits == 16 ? 2 : 1;
  if (sample_rate == 0) return 0;
  return int64_t{data_bytes / block} * 1000 / sample_rate;
}

std::string WavPathFor(const std::string& source, const std::string& folder) {
  std::filesystem::path name = std::filesystem::path(source).filename();
  name.replace_extension(".wav");
  if (folder.empty()) return (std::filesystem::path(source).parent_path() / name).string();
  return (std::filesystem::path(folder) / name).string();
}

bool ConvertToWav(const ConversionRequest& request, ConversionResult& result, std::string& error) {
  std::optional<RecorderInfo> info = ReadRecorderInfo(request.source, error);
  if (!info) return false;
  const SplpInfo& splp = info->splp;
  const uint32_t page_count = splp.page_count;
  if (page_count == 0) {
    error = "holds no whole page";
    return false;
  }
  if (!request.replace && NameTaken(request.destination)) {
    error = request.destination + " exists (--force replaces it)";
    return false;
  }
  if (SameFile(request.source, request.destination)) {
    error = "would be replaced by its own WAV file";
    return false;
  }

  std::optional<PendingFile> output = PendingFile::Create(request.destination, error);
  if (!output) return false;
  const char* wav = output->temp_path().c_str();
  const auto format = static_cast<int32_t>(request.format);

  std::array<uint8_t, 201> header_copy{};
  const int32_t data_length =
      imports::AdpcmDecHeader(wav, format, splp.rate_code[0], splp.rate_code[1], splp.code_bits[0],
                              splp.code_bits[1], static_cast<int32_t>(info->sp_pages),
                              static_cast<int32_t>(info->lp_pages), header_copy.data());
  if (data_length == -1) {
    error = "cannot create " + output->temp_path();
    return false;
  }
  if (data_length < 0) {
    error = "too long for one WAV file";
    return false;
  }
  if (const int64_t free_bytes = FreeBytes(request.destination);
      free_bytes >= 0 && data_length > free_bytes) {
    error = "not enough space for " + request.destination + " (" + std::to_string(data_length) +
            " bytes needed, " + std::to_string(free_bytes) + " free)";
    return false;
  }

  std::array<uint8_t, KESTRUNE_CODE_BUFFER> codes{};
  std::array<uint8_t, KESTRUNE_PAGE_BUFFER> page{};
  imports::AdpcmDecx(wav, codes.data(), 0, 0, 0, 0, imports::kTargetReset);
  const int32_t target =
      info->sp_pages > 0 && info->lp_pages > 0 ? imports::kTarget11k : imports::kTarget8k;

  ProgressBar bar(std::filesystem::path(request.source).filename().string(), page_count,
                  request.progress);
  for (uint32_t p = 0; p < page_count; ++p) {
    const int16_t status = imports::play_1pagerd(request.source.c_str(), static_cast<int32_t>(p),
                                                 page.data(), info->kind);
    if (status != KESTRUNE_SP_PAGE && status != KESTRUNE_LP_PAGE) {
      error = "could no longer be read at page " + std::to_string(p);
      return false;
    }
    const int m = status == KESTRUNE_SP_PAGE ? 0 : 1;
    const int32_t count =
        imports::pb_exdata(splp.code_bits[m], static_cast<int16_t>(splp.code_bytes[m]),
                           static_cast<int16_t>(splp.extra_bits[m]), page.data(), codes.data());
    errno = 0;
    if (imports::AdpcmDecx(wav, codes.data(), splp.rate_code[m], splp.code_bits[m], count, format,
                           target) < 0) {
      error = "cannot write page " + std::to_string(p) + " to " + output->temp_path();
      if (errno != 0) error += std::string(": ") + std::strerror(errno);
      return false;
    }
    bar.Update(p + 1);
  }
  bar.Finish();

  if (!output->Commit(request.replace, error)) return false;
  result.pages = page_count;
  result.sample_rate = Le32(&header_copy[24]);
  result.data_bytes = Le32(&header_copy[40]);
  result.bits = request.format == SampleFormat::k8Bit ? 8 : 16;
  return true;
}

}  // namespace calendo::tool
