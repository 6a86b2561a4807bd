// The capture device: writes the bytes it plays to a PCM WAV file. The file is
// written under PATH.part and renamed to PATH at close, once its header
// carries the final lengths, so PATH only ever holds a complete file.
#include <cerrno>
#include <cstdio>
#include <cstring>

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

class CaptureSink final : public PacedSink {
 public:
  CaptureSink(const WaveFormat& format, std::string path, std::FILE* file)
      : format_(format), path_(std::move(path)), file_(file) {}
  ~CaptureSink() override {
    if (file_ != nullptr) std::fclose(file_);
  }

  // The header with the lengths of `data_bytes` of sound.
  void header(std::uint8_t (&out)[kHeaderBytes], std::uint64_t data_bytes) const {
    std::memcpy(out, "RIFF", 4);
    put32(out + 4, clamp32(data_bytes + kHeaderBytes - 8));
    std::memcpy(out + 8, "WAVEfmt ", 8);
    put32(out + 16, 16);
    put16(out + 20, format_.format_tag);
    put16(out + 22, format_.channels);
    put32(out + 24, format_.samples_per_sec);
    put32(out + 28, format_.samples_per_sec * format_.block_align);
    put16(out + 32, format_.block_align);
    put16(out + 34, format_.bits_per_sample);
    std::memcpy(out + 36, "data", 4);
    put32(out + 40, clamp32(data_bytes));
  }

  bool start(std::string& error) {
    std::uint8_t bytes[kHeaderBytes];
    header(bytes, 0);
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
    header(bytes, data_bytes_);
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
  std::uint64_t data_bytes_ = 0;
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
  std::FILE* file = std::fopen(part.c_str(), "wb");
  if (file == nullptr) {
    failure = {WaveResult::bad_device, part + ": " + std::strerror(errno)};
    return nullptr;
  }
  auto sink = std::make_unique<CaptureSink>(format, path, file);
  if (!sink->start(failure.text)) {
    failure.result = WaveResult::bad_device;
    sink.reset();
    std::remove(part.c_str());
    return nullptr;
  }
  return std::make_unique<PacedDevice>(format, queue, speed, std::move(sink));
}

}  // namespace platform::waveout
