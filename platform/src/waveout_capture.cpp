// The capture device: writes the bytes it plays to a PCM WAV file. The file is
// written under PATH.part and renamed to PATH at close, once its header
// carries the final lengths, so PATH only ever holds a complete file. A
// complete capture of the same format found at PATH is continued: the bytes
// of every device opened on PATH add up, until the format changes (then the
// file starts anew).
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include "waveout_paced.h"

namespace platform::waveout {
namespace {

constexpr std::size_t kHeaderBytes = 44;

void put16(std::uint8_t* at, std::uint32_t value) {
  at[0] = static_cast<std::uint8_t>(value);
  at[1] = static_cast<std::uint8_t>(value >> 8);
}

void put32(std::uint8_t* at, std::uint32_t value) {
  put16(at, value & 0xFFFF);
  put16(at + 2, value >> 16);
}

std::uint32_t clamp32(std::uint64_t value) {
  return value > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(value);
}

// The 44-byte header of a capture of `data_bytes` bytes in `format`.
void wav_header(std::uint8_t (&out)[kHeaderBytes], const WaveFormat& format,
                std::uint64_t data_bytes) {
  std::memcpy(out, "RIFF", 4);
  put32(out + 4, clamp32(data_bytes + kHeaderBytes - 8));
  std::memcpy(out + 8, "WAVEfmt ", 8);
  put32(out + 16, 16);
  put16(out + 20, format.format_tag);
  put16(out + 22, format.channels);
  put32(out + 24, format.samples_per_sec);
  put32(out + 28, format.samples_per_sec * format.block_align);
  put16(out + 32, format.block_align);
  put16(out + 34, format.bits_per_sample);
  std::memcpy(out + 36, "data", 4);
  put32(out + 40, clamp32(data_bytes));
}

// The number of sound bytes in `path` when it is a complete capture in
// `format` that a new device can continue; nullopt otherwise.
std::optional<std::uint64_t> continuable_capture(const std::string& path,
                                                 const WaveFormat& format) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return std::nullopt;
  std::uint8_t have[kHeaderBytes] = {};
  const std::size_t got = std::fread(have, 1, kHeaderBytes, file);
  const bool sized = std::fseek(file, 0, SEEK_END) == 0;
  const long size = sized ? std::ftell(file) : -1;
  std::fclose(file);
  if (got != kHeaderBytes || size < static_cast<long>(kHeaderBytes)) return std::nullopt;
  const auto data_bytes = static_cast<std::uint64_t>(size) - kHeaderBytes;
  std::uint8_t want[kHeaderBytes];
  wav_header(want, format, data_bytes);
  if (std::memcmp(have, want, kHeaderBytes) != 0) return std::nullopt;
  return data_bytes;
}

class CaptureSink final : public PacedSink {
 public:
  CaptureSink(const WaveFormat& format, std::string path, std::FILE* file, std::uint64_t data_bytes)
      : format_(format), path_(std::move(path)), file_(file), data_bytes_(data_bytes) {}
  ~CaptureSink() override {
    if (file_ != nullptr) std::fclose(file_);
  }

  // Writes the provisional header of a new file.
  bool start(std::string& error) {
    std::uint8_t bytes[kHeaderBytes];
    wav_header(bytes, format_, 0);
    if (std::fwrite(bytes, 1, kHeaderBytes, file_) != kHeaderBytes) {
      error = part_path() + ": " + std::strerror(errno);
      return false;
    }
    return true;
  }

  void consume(const std::uint8_t* data, std::size_t bytes) override {
    if (write_failed_) return;
    if (std::fwrite(data, 1, bytes, file_) != bytes) {
      write_failed_ = true;
      write_error_ = std::strerror(errno);
      return;
    }
    data_bytes_ += bytes;
  }

  bool wants_bytes() const override { return true; }

  bool finish(std::string& error) override {
    if (file_ == nullptr) return true;
    std::uint8_t bytes[kHeaderBytes];
    wav_header(bytes, format_, data_bytes_);
    bool ok = !write_failed_ && std::fseek(file_, 0, SEEK_SET) == 0 &&
              std::fwrite(bytes, 1, kHeaderBytes, file_) == kHeaderBytes;
    if (!ok && !write_failed_) write_error_ = std::strerror(errno);
    ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    if (ok && std::rename(part_path().c_str(), path_.c_str()) != 0) {
      ok = false;
      write_error_ = std::strerror(errno);
    }
    if (!ok) error = path_ + ": capture file not completed: " + write_error_;
    return ok;
  }

  std::string part_path() const { return path_ + ".part"; }

 private:
  const WaveFormat format_;
  const std::string path_;
  std::FILE* file_;
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
      std::FILE* file = std::fopen(part.c_str(), "r+b");
      if (file != nullptr && std::fseek(file, 0, SEEK_END) == 0) {
        auto sink = std::make_unique<CaptureSink>(format, path, file, *existing);
        return std::make_unique<PacedDevice>(format, queue, speed, std::move(sink));
      }
      if (file != nullptr) std::fclose(file);
      std::rename(part.c_str(), path.c_str());
    }
  }
  std::FILE* file = std::fopen(part.c_str(), "wb");
  if (file == nullptr) {
    failure = {WaveResult::bad_device, part + ": " + std::strerror(errno)};
    return nullptr;
  }
  auto sink = std::make_unique<CaptureSink>(format, path, file, 0);
  if (!sink->start(failure.text)) {
    failure.result = WaveResult::bad_device;
    sink.reset();
    std::remove(part.c_str());
    return nullptr;
  }
  return std::make_unique<PacedDevice>(format, queue, speed, std::move(sink));
}

}  // namespace platform::waveout
