// The capture device: writes the bytes it plays to a PCM WAV file. The file is
// written under PATH.part and renamed to PATH at close, once its header
// carries the final lengths, so PATH only ever holds a complete file. A
// complete capture of the same format found at PATH is continued: the bytes
// of every device opened on PATH add up, until the format changes (then the
// file starts anew).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include "calendo/io.h"
#include "calendo/wav_header.h"
#include "waveout_paced.h"

namespace platform::waveout {
namespace {

using calendo::kWavHeaderSize;

std::uint32_t clamp32(std::uint64_t value) {
  return value > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(value);
}

// The 44-byte header of a capture of `data_bytes` bytes in `format`.
std::array<std::uint8_t, kWavHeaderSize> capture_header(const WaveFormat& format,
                                                        std::uint64_t data_bytes) {
  const calendo::WavFormat fmt{format.format_tag, format.channels, format.samples_per_sec,
                               format.block_align, format.bits_per_sample};
  return calendo::wav_header(fmt, clamp32(data_bytes + kWavHeaderSize - 8), clamp32(data_bytes));
}

// The number of sound bytes in `path` when it is a complete capture in
// `format` that a new device can continue; nullopt otherwise.
std::optional<std::uint64_t> continuable_capture(const std::string& path,
                                                 const WaveFormat& format) {
  const calendo::Result<calendo::UniqueFd> file = calendo::open_fd(path.c_str(), O_RDONLY);
  struct stat info {};
  if (!file.ok() || ::fstat(file->get(), &info) != 0) return std::nullopt;
  std::array<std::uint8_t, kWavHeaderSize> have{};
  const std::size_t got = calendo::read_up_to(file->get(), have);
  if (got != kWavHeaderSize || info.st_size < static_cast<off_t>(kWavHeaderSize))
    return std::nullopt;
  const auto data_bytes = static_cast<std::uint64_t>(info.st_size) - kWavHeaderSize;
  if (have != capture_header(format, data_bytes)) return std::nullopt;
  return data_bytes;
}

class CaptureSink final : public PacedSink {
 public:
  CaptureSink(const WaveFormat& format, std::string path, calendo::UniqueFd file,
              std::uint64_t data_bytes)
      : format_(format), path_(std::move(path)), file_(std::move(file)), data_bytes_(data_bytes) {}

  // Writes the provisional header of a new file.
  calendo::Status start() {
    const calendo::Status wrote = calendo::write_all(file_.get(), capture_header(format_, 0));
    if (!wrote.ok()) return device_fault(part_path() + ": " + wrote.fault().message);
    return {};
  }

  void consume(const std::uint8_t* data, std::size_t bytes) override {
    if (write_failed_) return;
    const calendo::Status wrote = calendo::write_all(file_.get(), {data, bytes});
    if (!wrote.ok()) {
      write_failed_ = true;
      write_error_ = wrote.fault().message;
      return;
    }
    data_bytes_ += bytes;
  }

  bool wants_bytes() const override { return true; }

  calendo::Status finish() override {
    if (!file_.valid()) return {};
    bool ok = !write_failed_;
    if (ok) {
      const calendo::Status wrote =
          calendo::write_all_at(file_.get(), 0, capture_header(format_, data_bytes_));
      if (!wrote.ok()) write_error_ = wrote.fault().message;
      ok = wrote.ok();
    }
    const calendo::Status closed = file_.close();
    if (!closed.ok() && ok) write_error_ = closed.fault().message;
    ok = closed.ok() && ok;
    if (ok && std::rename(part_path().c_str(), path_.c_str()) != 0) {
      ok = false;
      write_error_ = std::strerror(errno);
    }
    if (!ok) return device_fault(path_ + ": capture file not completed: " + write_error_);
    return {};
  }

  std::string part_path() const { return path_ + ".part"; }

 private:
  const WaveFormat format_;
  const std::string path_;
  calendo::UniqueFd file_;
  std::uint64_t data_bytes_;
  bool write_failed_ = false;
  std::string write_error_;
};

}  // namespace

std::unique_ptr<Device> open_capture_device(const WaveFormat& format, BufferQueue& queue,
                                            unsigned speed, const std::string& path,
                                            OpenFailure& failure) {
  if (path.empty()) {
    failure = {WaveResult::bad_device, "capture device needs a file: capture:PATH"};
    return nullptr;
  }
  const std::string part = path + ".part";
  // A capture of the same format already at PATH is continued, so that the
  // streams of one session add up to one file of everything played.
  if (const auto existing = continuable_capture(path, format)) {
    if (std::rename(path.c_str(), part.c_str()) == 0) {
      // Not O_APPEND: the header is rewritten in place at the end.
      calendo::Result<calendo::UniqueFd> file = calendo::open_fd(part.c_str(), O_WRONLY);
      if (file.ok() && ::lseek(file->get(), 0, SEEK_END) >= 0) {
        auto sink = std::make_unique<CaptureSink>(format, path, std::move(*file), *existing);
        return std::make_unique<PacedDevice>(format, queue, speed, std::move(sink));
      }
      std::rename(part.c_str(), path.c_str());
    }
  }
  calendo::Result<calendo::UniqueFd> file =
      calendo::open_fd(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC);
  if (!file.ok()) {
    failure = {WaveResult::bad_device, part + ": " + file.fault().message};
    return nullptr;
  }
  auto sink = std::make_unique<CaptureSink>(format, path, std::move(*file), 0);
  if (const calendo::Status started = sink->start(); !started.ok()) {
    failure = {WaveResult::bad_device, started.fault().message};
    sink.reset();
    std::remove(part.c_str());
    return nullptr;
  }
  return std::make_unique<PacedDevice>(format, queue, speed, std::move(sink));
}

}  // namespace platform::waveout
