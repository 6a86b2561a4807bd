// The parked WAV test playback on the real decoder and wave output, heard
// through a capture file.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include <gtest/gtest.h>
#include <QTimer>

#include "platform/memory.h"
#include "scripted_host.h"
#include "test_app.h"
#include "testing/recorder_writer.h"
#include "window/form1.h"

namespace calendo {
namespace {

using testing::ScriptedHost;
using Bytes = std::vector<uint8_t>;

// The silence behind the 44-byte header of the 10000-byte stream-start block.
constexpr std::size_t kHeaderBlockSilence = 10000 - 44;

void Put32(Bytes& out, std::size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// A mono PCM WAV file: the 44-byte header announcing `announced` data bytes,
// then `data`.
Bytes WavFile(uint32_t rate, uint16_t bits, const Bytes& data, uint32_t announced) {
  Bytes out(44, 0);
  std::copy_n("RIFF", 4, out.begin());
  Put32(out, 4, 36 + announced);
  std::copy_n("WAVEfmt ", 8, out.begin() + 8);
  Put32(out, 16, 16);
  Put32(out, 20, 1u | (1u << 16));
  Put32(out, 24, rate);
  Put32(out, 28, rate * bits / 8);
  Put32(out, 32, (bits / 8u) | (static_cast<uint32_t>(bits) << 16));
  std::copy_n("data", 4, out.begin() + 36);
  Put32(out, 40, announced);
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

// The PCM bytes of a capture file (behind its 44-byte header).
Bytes CapturedPcm(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  Bytes all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (all.size() < 44) return {};
  return Bytes(all.begin() + 44, all.end());
}

// What the wave output hears of 8-bit samples: (b - 128) * 256, little-endian.
Bytes As16Bit(const Bytes& samples) {
  Bytes out;
  for (uint8_t b : samples) {
    const auto value = static_cast<uint16_t>((b - 128) * 256);
    out.push_back(static_cast<uint8_t>(value & 0xFF));
    out.push_back(static_cast<uint8_t>(value >> 8));
  }
  return out;
}

class TestWavPlayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    capture_ = dir_.file("heard.wav");
    setenv("CALENDO_AUDIO", ("capture:" + capture_.string()).c_str(), 1);
    setenv("CALENDO_AUDIO_SPEED", "0", 1);
    binding::SetLibraryDirectory(CALENDO_LIB_DIR);
    form_ = std::make_unique<Form1>(host_, pump_);
  }
  void TearDown() override {
    form_.reset();
    binding::SetLibraryDirectory({});
    unsetenv("CALENDO_AUDIO");
    unsetenv("CALENDO_AUDIO_SPEED");
  }

  // Clicks the test button and, from a timer, ends the wait the way Stop does
  // once the output has played everything it was given (it then starves on
  // the endless stream). Returns whether the click returned only after that.
  bool PlayUntilStopped(const std::filesystem::path& file) {
    form_->Text1->setText(QString::fromStdString(file.string()));
    bool stopped = false;
    int starved_ticks = 0;
    QTimer stop;
    stop.setInterval(20);
    QObject::connect(&stop, &QTimer::timeout, [&] {
      starved_ticks = imports::WavNowPlay() == -3 ? starved_ticks + 1 : 0;
      if (starved_ticks < 3 || stopped) return;
      stopped = true;
      imports::WavStop();
      imports::WavDestroy();
    });
    stop.start();
    form_->TestWavPlay->click();  // parked and invisible, but it still clicks
    return stopped;
  }

  QApplication& app_ = testing::TestApplication();
  testkit::TempDir dir_;
  std::filesystem::path capture_;
  ScriptedHost host_;
  EventPump pump_;
  std::unique_ptr<Form1> form_;
};

TEST_F(TestWavPlayTest, EightBitFileIsHeardWholeAsSixteenBitAndReturnsOnlyAfterStop) {
  Bytes samples(10500);
  for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<uint8_t>(i * 7 + 3);
  const auto file = dir_.file("eight.wav");
  testkit::write_file(file, WavFile(8000, 8, samples, 10500));
  const std::size_t live_before = platform::live_block_count();

  EXPECT_TRUE(PlayUntilStopped(file));

  Bytes expected(kHeaderBlockSilence, 0);
  const Bytes heard = As16Bit(samples);
  expected.insert(expected.end(), heard.begin(), heard.end());
  EXPECT_EQ(CapturedPcm(capture_), expected);
  EXPECT_EQ(platform::live_block_count(), live_before);
}

TEST_F(TestWavPlayTest, SixteenBitSamplesPassAsTheyAre) {
  Bytes samples(2501 * 2);
  for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<uint8_t>(i * 13);
  const auto file = dir_.file("sixteen.wav");
  testkit::write_file(file, WavFile(11025, 16, samples, static_cast<uint32_t>(samples.size())));

  EXPECT_TRUE(PlayUntilStopped(file));

  Bytes expected(kHeaderBlockSilence, 0);
  expected.insert(expected.end(), samples.begin(), samples.end());
  EXPECT_EQ(CapturedPcm(capture_), expected);
}

TEST_F(TestWavPlayTest, MissingFileQueuesOnlyTheHeaderBlock) {
  EXPECT_TRUE(PlayUntilStopped(dir_.file("absent.wav")));
  EXPECT_EQ(CapturedPcm(capture_), Bytes(kHeaderBlockSilence, 0));
}

TEST_F(TestWavPlayTest, HeaderAnnouncingMoreThanTheFileHoldsPlaysOnlyWhatIsThere) {
  const Bytes samples(2500, 200);
  const auto file = dir_.file("short.wav");
  testkit::write_file(file, WavFile(8000, 8, samples, 2'000'000'000));

  EXPECT_TRUE(PlayUntilStopped(file));

  Bytes expected(kHeaderBlockSilence, 0);
  const Bytes heard = As16Bit(samples);
  expected.insert(expected.end(), heard.begin(), heard.end());
  EXPECT_EQ(CapturedPcm(capture_), expected);
}

}  // namespace
}  // namespace calendo
