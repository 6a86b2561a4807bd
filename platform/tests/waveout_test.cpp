#include "platform/waveout.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <vector>

#include "platform/messages.h"
#include "testing/temp_dir.h"

namespace {

using namespace std::chrono_literals;
using platform::Message;
using platform::WaveFormat;
using platform::WaveHeader;
using platform::WaveOut;
using platform::WaveResult;

WaveFormat pcm(std::uint32_t rate, std::uint16_t bits) {
  WaveFormat format;
  format.format_tag = platform::kWaveFormatPcm;
  format.channels = 1;
  format.samples_per_sec = rate;
  format.block_align = static_cast<std::uint16_t>(bits / 8);
  format.avg_bytes_per_sec = rate * format.block_align;
  format.bits_per_sample = bits;
  return format;
}

// A callback window on the test thread that records every notice.
class Notices {
 public:
  Notices() {
    window_ =
        platform::create_window("callback", [this](platform::WindowHandle, std::uint32_t message,
                                                   std::uintptr_t wparam, std::intptr_t lparam) {
          log_.push_back(Message{window_, message, wparam, lparam});
          return std::intptr_t{0};
        });
  }
  ~Notices() { platform::destroy_window(window_); }

  platform::WindowHandle window() const { return window_; }
  const std::vector<Message>& log() const { return log_; }

  // Dispatches this thread's messages until `done` holds or 10 s pass.
  bool pump_until(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      if (platform::wait_message(5ms)) pump_for(0ms);
    }
    return true;
  }
  // Dispatches this thread's messages for `time` (at least once).
  void pump_for(std::chrono::milliseconds time) {
    const auto deadline = std::chrono::steady_clock::now() + time;
    do {
      Message message;
      while (platform::peek_message(message)) platform::dispatch_message(message);
    } while (platform::wait_message(std::chrono::duration_cast<std::chrono::milliseconds>(
                 deadline - std::chrono::steady_clock::now())) ||
             std::chrono::steady_clock::now() < deadline);
  }

  std::vector<const WaveHeader*> done_headers() const {
    std::vector<const WaveHeader*> done;
    for (const Message& m : log_) {
      if (m.message == platform::kWaveOutDone) {
        done.push_back(reinterpret_cast<const WaveHeader*>(m.lparam));
      }
    }
    return done;
  }

 private:
  platform::WindowHandle window_;
  std::vector<Message> log_;
};

// Buffers with distinct contents, and their headers.
struct Buffers {
  explicit Buffers(const std::vector<std::size_t>& sizes) {
    std::uint8_t value = 1;
    for (std::size_t size : sizes) {
      data.emplace_back(size);
      for (auto& byte : data.back()) byte = value++;
    }
    headers.resize(sizes.size());
    for (std::size_t i = 0; i < sizes.size(); ++i) {
      headers[i].data = data[i].data();
      headers[i].length = static_cast<std::uint32_t>(sizes[i]);
    }
  }
  std::vector<std::vector<std::uint8_t>> data;
  std::vector<WaveHeader> headers;
};

void write_all(WaveOut device, Buffers& buffers) {
  for (WaveHeader& header : buffers.headers) {
    ASSERT_EQ(platform::wave_out_prepare(device, &header), WaveResult::ok);
    ASSERT_EQ(platform::wave_out_write(device, &header), WaveResult::ok);
  }
}

TEST(WaveOut_Open, RefusesWhatNoDeviceCanPlay) {
  Notices notices;
  WaveOut device = 99;
  WaveFormat format = pcm(8000, 16);
  format.format_tag = 3;
  EXPECT_EQ(platform::wave_out_open_device(&device, "null", 0, format, notices.window()),
            WaveResult::bad_format);
  EXPECT_EQ(device, platform::kNoWaveOut);
  EXPECT_NE(platform::wave_out_last_error().find("not PCM"), std::string::npos);

  for (auto broken : std::vector<std::function<void(WaveFormat&)>>{
           [](WaveFormat& f) { f.channels = 3; }, [](WaveFormat& f) { f.bits_per_sample = 12; },
           [](WaveFormat& f) { f.block_align = 4; },
           [](WaveFormat& f) { f.samples_per_sec = 0; }}) {
    format = pcm(8000, 16);
    broken(format);
    EXPECT_EQ(platform::wave_out_open_device(&device, "null", 0, format, notices.window()),
              WaveResult::bad_format);
  }
  EXPECT_EQ(platform::wave_out_open_device(&device, "speaker", 0, pcm(8000, 16), notices.window()),
            WaveResult::bad_device);
  EXPECT_EQ(platform::wave_out_open_device(&device, "capture:/nonexistent-dir/x.wav", 0,
                                           pcm(8000, 16), notices.window()),
            WaveResult::bad_device);
  EXPECT_NE(platform::wave_out_last_error().find("/nonexistent-dir/x.wav.part"), std::string::npos);
  EXPECT_EQ(platform::wave_out_open_device(&device, "null", 0, pcm(8000, 16), platform::kNoWindow),
            WaveResult::invalid_param);
  notices.pump_for(0ms);
  EXPECT_TRUE(notices.log().empty());  // failed opens post nothing
}

TEST(WaveOut_Open, EnvironmentChoosesDeviceAndSpeed) {
  Notices notices;
  WaveOut device = platform::kNoWaveOut;
  ::setenv("CALENDO_AUDIO", "null", 1);
  ::setenv("CALENDO_AUDIO_SPEED", "fast", 1);
  EXPECT_EQ(platform::wave_out_open(&device, pcm(8000, 8), notices.window()),
            WaveResult::bad_device);
  EXPECT_NE(platform::wave_out_last_error().find("CALENDO_AUDIO_SPEED=fast"), std::string::npos);
  ::setenv("CALENDO_AUDIO_SPEED", "0", 1);
  ASSERT_EQ(platform::wave_out_open(&device, pcm(8000, 8), notices.window()), WaveResult::ok);
  EXPECT_EQ(platform::wave_out_close(device), WaveResult::ok);
  ::unsetenv("CALENDO_AUDIO");
  ::unsetenv("CALENDO_AUDIO_SPEED");
  ASSERT_TRUE(notices.pump_until([&] { return notices.log().size() == 2; }));
  EXPECT_EQ(notices.log()[0].message, platform::kWaveOutOpen);
  EXPECT_EQ(notices.log()[1].message, platform::kWaveOutClose);
  EXPECT_EQ(notices.log()[1].wparam, device);
}

TEST(WaveOut_Null, DoneNoticesComeInWriteOrder) {
  Notices notices;
  WaveOut device = platform::kNoWaveOut;
  ASSERT_EQ(platform::wave_out_open_device(&device, "null", 0, pcm(11025, 16), notices.window()),
            WaveResult::ok);
  std::vector<std::size_t> sizes;
  for (int i = 0; i < 300; ++i) sizes.push_back(static_cast<std::size_t>((i * 7919) % 5000) * 2);
  Buffers buffers(sizes);  // includes zero-length buffers
  write_all(device, buffers);
  ASSERT_TRUE(notices.pump_until([&] { return notices.done_headers().size() == sizes.size(); }));
  const auto done = notices.done_headers();
  for (std::size_t i = 0; i < done.size(); ++i) {
    ASSERT_EQ(done[i], &buffers.headers[i]) << i;
    EXPECT_EQ(buffers.headers[i].flags, platform::kWaveHeaderDone | platform::kWaveHeaderPrepared);
  }
  for (WaveHeader& header : buffers.headers) {
    EXPECT_EQ(platform::wave_out_unprepare(device, &header), WaveResult::ok);
  }
  EXPECT_EQ(platform::wave_out_close(device), WaveResult::ok);
  EXPECT_EQ(platform::wave_out_close(device), WaveResult::invalid_handle);
  EXPECT_EQ(platform::wave_out_prepare(device, &buffers.headers[0]), WaveResult::invalid_handle);
}

TEST(WaveOut_Null, WritesNeedPreparedHeadersOnce) {
  Notices notices;
  WaveOut device = platform::kNoWaveOut;
  ASSERT_EQ(platform::wave_out_open_device(&device, "null", 1, pcm(8000, 8), notices.window()),
            WaveResult::ok);
  Buffers buffers({8000});  // one second: still playing while we poke at it
  EXPECT_EQ(platform::wave_out_write(device, &buffers.headers[0]), WaveResult::unprepared);
  ASSERT_EQ(platform::wave_out_prepare(device, &buffers.headers[0]), WaveResult::ok);
  ASSERT_EQ(platform::wave_out_write(device, &buffers.headers[0]), WaveResult::ok);
  EXPECT_EQ(platform::wave_out_write(device, &buffers.headers[0]), WaveResult::still_playing);
  EXPECT_EQ(platform::wave_out_unprepare(device, &buffers.headers[0]), WaveResult::still_playing);
  EXPECT_EQ(platform::wave_out_close(device), WaveResult::still_playing);
  EXPECT_EQ(platform::wave_out_reset(device), WaveResult::ok);
  EXPECT_EQ(platform::wave_out_close(device), WaveResult::ok);
}

TEST(WaveOut_Null, PlaysAtThePaceOfRealTime) {
  Notices notices;
  WaveOut device = platform::kNoWaveOut;
  ASSERT_EQ(platform::wave_out_open_device(&device, "null", 1, pcm(8000, 8), notices.window()),
            WaveResult::ok);
  Buffers buffers({800, 800});  // 0.2 s of sound
  const auto start = std::chrono::steady_clock::now();
  write_all(device, buffers);
  ASSERT_TRUE(notices.pump_until([&] { return notices.done_headers().size() == 2; }));
  // A lower bound only: the second buffer cannot end before ~0.2 s of sound.
  EXPECT_GE(std::chrono::steady_clock::now() - start, 150ms);
  EXPECT_EQ(platform::wave_out_close(device), WaveResult::ok);
}

TEST(WaveOut_Null, PauseHoldsNoticesAndResetReturnsEveryBuffer) {
  Notices notices;
  WaveOut device = platform::kNoWaveOut;
  ASSERT_EQ(platform::wave_out_open_device(&device, "null", 0, pcm(8000, 16), notices.window()),
            WaveResult::ok);
  ASSERT_EQ(platform::wave_out_pause(device), WaveResult::ok);
  Buffers first({100, 200, 300});
  write_all(device, first);
  notices.pump_for(50ms);
  EXPECT_TRUE(notices.done_headers().empty());  // paused: nothing plays, nothing is noticed
  ASSERT_EQ(platform::wave_out_restart(device), WaveResult::ok);
  ASSERT_TRUE(notices.pump_until([&] { return notices.done_headers().size() == 3; }));

  // Reset while paused: the written buffers all come back at once, in order.
  ASSERT_EQ(platform::wave_out_pause(device), WaveResult::ok);
  Buffers second({1000, 2000, 4000, 0});
  write_all(device, second);
  ASSERT_EQ(platform::wave_out_reset(device), WaveResult::ok);
  notices.pump_for(0ms);
  const auto done = notices.done_headers();
  ASSERT_EQ(done.size(), 7u);
  for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(done[3 + i], &second.headers[i]);
  EXPECT_EQ(platform::wave_out_close(device), WaveResult::ok);
}

TEST(WaveOut_Capture, FileHoldsExactlyTheBytesPlayedAndLaterDevicesAppend) {
  const auto path = std::filesystem::temp_directory_path() /
                    ("calendo-capture-" + std::to_string(::getpid()) + ".wav");
  Notices notices;
  WaveOut device = platform::kNoWaveOut;
  ASSERT_EQ(platform::wave_out_open_device(&device, "capture:" + path.string(), 0, pcm(11025, 16),
                                           notices.window()),
            WaveResult::ok);
  Buffers buffers({9956, 2, 70000, 0, 4410});
  write_all(device, buffers);
  ASSERT_TRUE(notices.pump_until([&] { return notices.done_headers().size() == 5; }));
  EXPECT_FALSE(std::filesystem::exists(path));  // only complete files appear under the name
  ASSERT_EQ(platform::wave_out_close(device), WaveResult::ok);

  std::ifstream file(path, std::ios::binary);
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                  std::istreambuf_iterator<char>());
  std::vector<std::uint8_t> expected;
  for (const auto& data : buffers.data) expected.insert(expected.end(), data.begin(), data.end());
  ASSERT_EQ(bytes.size(), 44 + expected.size());
  auto u32 = [&](std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
                                      bytes[at + 3] << 24);
  };
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
  EXPECT_EQ(u32(4), 36 + expected.size());
  EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 16), "WAVEfmt ");
  EXPECT_EQ(u32(24), 11025u);
  EXPECT_EQ(u32(28), 22050u);
  EXPECT_EQ(bytes[34], 16);
  EXPECT_EQ(std::string(bytes.begin() + 36, bytes.begin() + 40), "data");
  EXPECT_EQ(u32(40), expected.size());
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), bytes.begin() + 44));

  // The next device on the same file continues it; one of another format
  // starts it anew.
  ASSERT_EQ(platform::wave_out_open_device(&device, "capture:" + path.string(), 0, pcm(11025, 16),
                                           notices.window()),
            WaveResult::ok);
  Buffers more({1000});
  write_all(device, more);
  ASSERT_TRUE(notices.pump_until([&] { return notices.done_headers().size() == 6; }));
  ASSERT_EQ(platform::wave_out_close(device), WaveResult::ok);
  EXPECT_EQ(std::filesystem::file_size(path), 44 + expected.size() + 1000);
  ASSERT_EQ(platform::wave_out_open_device(&device, "capture:" + path.string(), 0, pcm(8000, 8),
                                           notices.window()),
            WaveResult::ok);
  ASSERT_EQ(platform::wave_out_close(device), WaveResult::ok);
  EXPECT_EQ(std::filesystem::file_size(path), 44u);
  std::filesystem::remove(path);
}

// Whether or not this machine has sound hardware, opening the default device
// either works or fails with PortAudio's text, and the sound systems'
// diagnostics never reach standard error.
TEST(WaveOut_Default, OpensOrFailsQuietlyWithPortAudiosText) {
  Notices notices;
  const testkit::TempDir folder;
  const std::string name = folder.file("stderr").string();
  const int captured = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  ASSERT_GE(captured, 0);
  std::fflush(stderr);
  const int saved = ::dup(STDERR_FILENO);
  ::dup2(captured, STDERR_FILENO);

  WaveOut device = platform::kNoWaveOut;
  const WaveResult opened =
      platform::wave_out_open_device(&device, "default", 1, pcm(11025, 16), notices.window());
  WaveResult closed = WaveResult::ok;
  if (opened == WaveResult::ok) closed = platform::wave_out_close(device);

  std::fflush(stderr);
  ::dup2(saved, STDERR_FILENO);
  ::close(saved);
  const off_t chatter = ::lseek(captured, 0, SEEK_END);
  ::close(captured);
  ::unlink(name.c_str());

  EXPECT_EQ(chatter, 0) << "the sound systems wrote to standard error";
  if (opened == WaveResult::ok) {
    EXPECT_EQ(closed, WaveResult::ok);
  } else {
    EXPECT_TRUE(opened == WaveResult::bad_device || opened == WaveResult::bad_format);
    EXPECT_EQ(platform::wave_out_last_error().rfind("PortAudio: ", 0), 0u)
        << platform::wave_out_last_error();
  }
}

}  // namespace
