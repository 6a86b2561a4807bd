#include "calendo/client/wav_conversion.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>

#include "calendo/byte_order.h"
#include "calendo/client/imports.h"
#include "calendo/io.h"
#include "calendo/wav_header.h"

namespace calendo::client {
namespace {

// Writes `value` at `offset` unless the file holds it there already.
Status PutLengthAt(int fd, uint64_t offset, uint32_t value) {
  uint8_t bytes[4];
  const Result<std::size_t> got = read_full_at(fd, offset, bytes);
  if (!got.ok()) return got.fault();
  if (got.value() != 4) return Fault{Failure::CannotRead, offset, "the file ended meanwhile"};
  if (le32(bytes) == value) return {};
  put_le32(bytes, value);
  return write_all_at(fd, offset, bytes);
}

}  // namespace

int32_t ConversionTarget(uint32_t sp_pages, uint32_t lp_pages) {
  return sp_pages > 0 && lp_pages > 0 ? TESMOR_TARGET_11K : TESMOR_TARGET_8K;
}

Result<uint32_t> CorrectWavLengths(const char* wav_path) {
  Result<UniqueFd> file = open_fd(wav_path, O_RDWR);
  if (!file.ok()) return file.fault();
  struct stat info {};
  if (::fstat(file->get(), &info) != 0) {
    const int error_number = errno;
    return Fault{Failure::CannotRead, 0, system_text(error_number), error_number};
  }
  const int64_t size = info.st_size;
  if (size < TESMOR_WAV_HEADER) {
    return Fault{Failure::WrongKind, 0,
                 "holds " + std::to_string(size) + " bytes, less than a WAV header"};
  }
  if (size - 8 > int64_t{UINT32_MAX})
    return Fault{Failure::Unsupported, 0, "too long for the lengths of a WAV header"};
  const auto data = static_cast<uint32_t>(size - TESMOR_WAV_HEADER);
  if (Status put = PutLengthAt(file->get(), kWavRiffLengthOffset, static_cast<uint32_t>(size - 8));
      !put.ok())
    return put.fault();
  if (Status put = PutLengthAt(file->get(), kWavDataLengthOffset, data); !put.ok())
    return put.fault();
  if (Status closed = file->close(); !closed.ok()) return closed.fault();
  return data;
}

ConversionOutcome ConvertToWav(const RecordingToConvert& recording, const char* wav_path,
                               int16_t format, ConversionSteps& steps) {
  ConversionOutcome outcome;
  const SplpInfo& splp = recording.splp;
  const uint32_t sp_pages = splp.page_field[0];
  const uint32_t lp_pages = splp.page_field[1];
  std::array<uint8_t, KESTRUNE_PAGE_BUFFER> page_buffer{};
  std::array<uint8_t, KESTRUNE_CODE_BUFFER> code_buffer{};

  steps.Call([&] {
    outcome.announced_bytes = imports::AdpcmDecHeader(
        wav_path, format, splp.rate_code[0], splp.rate_code[1], splp.code_bits[0],
        splp.code_bits[1], static_cast<int32_t>(sp_pages), static_cast<int32_t>(lp_pages),
        outcome.header.data());
  });
  if (outcome.announced_bytes < 0) {
    outcome.end = outcome.announced_bytes == TESMOR_CANNOT_OPEN ? ConversionEnd::kCannotCreate
                                                                : ConversionEnd::kRefused;
    return outcome;
  }
  outcome.sample_rate = le32(&outcome.header[kWavSampleRateOffset]);
  outcome.data_bytes = le32(&outcome.header[kWavDataLengthOffset]);
  if (!steps.HasRoomFor(outcome.announced_bytes)) {
    outcome.end = ConversionEnd::kNoRoom;
    return outcome;
  }

  steps.Call(
      [&] { imports::AdpcmDecx(wav_path, code_buffer.data(), 0, 0, 0, 0, TESMOR_TARGET_RESET); });
  const int32_t target = ConversionTarget(sp_pages, lp_pages);

  using AllPages = ConversionSteps::AllPages;
  int32_t failed_page = 0;
  const AllPages all = steps.AppendAllPages(wav_path, format, failed_page);
  if (all == AllPages::kUnreadable || all == AllPages::kCannotAppend) {
    outcome.page = failed_page;
    outcome.end = all == AllPages::kUnreadable ? ConversionEnd::kPageUnreadable
                                               : ConversionEnd::kCannotAppend;
    return outcome;
  }
  const int32_t first_page = all == AllPages::kAppended ? recording.pages : 0;

  for (int32_t page = first_page; page < recording.pages; ++page) {
    outcome.page = page;
    if (!steps.BeforePage(page)) {
      outcome.end = ConversionEnd::kStopped;
      return outcome;
    }
    int16_t status = KESTRUNE_CANNOT_OPEN;
    steps.Call([&] {
      status = imports::play_1pagerd(recording.path, page, page_buffer.data(), recording.kind);
    });
    if (status != KESTRUNE_SP_PAGE && status != KESTRUNE_LP_PAGE) {
      outcome.end = ConversionEnd::kPageUnreadable;
      return outcome;
    }
    const int mode = status == KESTRUNE_LP_PAGE ? 1 : 0;
    int32_t count = 0;
    steps.Call([&] {
      count = imports::pb_exdata(splp.code_bits[mode], static_cast<int16_t>(splp.code_bytes[mode]),
                                 static_cast<int16_t>(splp.extra_bits[mode]), page_buffer.data(),
                                 code_buffer.data());
    });
    int32_t appended = TESMOR_CANNOT_OPEN;
    steps.Call([&] {
      appended = imports::AdpcmDecx(wav_path, code_buffer.data(), splp.rate_code[mode],
                                    splp.code_bits[mode], count, format, target);
    });
    if (appended < 0) {
      outcome.end = ConversionEnd::kCannotAppend;
      return outcome;
    }
    steps.AfterPage(page);
  }

  if (const Result<uint32_t> data = CorrectWavLengths(wav_path); data.ok()) {
    outcome.data_bytes = *data;
    put_le32(&outcome.header[kWavRiffLengthOffset],
             static_cast<uint32_t>(*data + TESMOR_WAV_HEADER - 8));
    put_le32(&outcome.header[kWavDataLengthOffset], outcome.data_bytes);
  }
  outcome.end = ConversionEnd::kDone;
  return outcome;
}

}  // namespace calendo::client
