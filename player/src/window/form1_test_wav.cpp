// The parked WAV test playback: plays the PCM WAV file named in Text1 through
// the wave output, 1000 file bytes a block, without decoding anything.
#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <system_error>

#include "platform/memory.h"
#include "sondrel.h"
#include "window/form1.h"

namespace calendo {
namespace {

constexpr int32_t kTestWavBlockBytes = 1000;
// The blocks queued at most: a header block and 64000 data blocks.
constexpr int64_t kTestWavMaxDataBlocks = 64000;

// Hands a block to the wave output. A block the engine refuses (no engine, a
// stream already complete) stays ours and is freed here, so that none is lost.
void QueueBlock(void*& block, int32_t length) {
  if (block == nullptr) return;
  if (length <= 0 || imports::WavAddPlayData(&block, static_cast<uint32_t>(length)) == 0) {
    platform::block_free(block);
  }
  block = nullptr;
}

// The sample bytes to play: what the header announces, but never more than
// the file holds behind `start`. A header that announces gigabytes would
// otherwise queue that much filler.
int64_t PlayableBytes(const std::filesystem::path& path, int32_t announced, int32_t start) {
  if (announced <= 0) return 0;
  std::error_code error;
  const auto file_size = std::filesystem::file_size(path, error);
  if (error) return 0;
  const int64_t behind_start = static_cast<int64_t>(file_size) - start;
  return std::max<int64_t>(0, std::min<int64_t>(announced, behind_start));
}

}  // namespace

void Form1::ConnectTestWavHandlers() {
  connect(TestWavPlay, &QPushButton::clicked, this,
          [this] { RunHandler([this] { TestWavPlay_Click(); }); });
}

// Queues the header block and then the whole sample data, the last block
// shorter when the data is not a multiple of 1000 bytes, and waits until
// another command (Stop, an exit, a hand-off, a playback) destroys the engine.
void Form1::TestWavPlay_Click() {
  const QByteArray name = Text1->text().toLocal8Bit();
  RecreateWaveOutput();

  std::array<uint8_t, 100> info{};
  const int32_t size = imports::GetWavType(name.constData(), info.data());
  const int32_t rate = info[0];
  const int32_t width = info[1];
  const int32_t start = info[2] + 1;

  void* block = nullptr;
  imports::SoundSet11k16bit(&block, rate, info.data());
  QueueBlock(block, 10000);

  const int64_t data_bytes = PlayableBytes(std::filesystem::path(name.toStdString()), size, start);
  const int64_t blocks = std::min<int64_t>(
      kTestWavMaxDataBlocks, (data_bytes + kTestWavBlockBytes - 1) / kTestWavBlockBytes);
  for (int64_t k = 0; k < blocks; ++k) {
    const int64_t offset = k * kTestWavBlockBytes;
    const auto count =
        static_cast<int32_t>(std::min<int64_t>(kTestWavBlockBytes, data_bytes - offset));
    const int32_t length = imports::PcmWavPlay(name.constData(), width,
                                               static_cast<int32_t>(offset + start), count, &block);
    QueueBlock(block, length);
  }

  // Only another command ends the wait: WavNowPlay tells SONDREL_NOW_NO_ENGINE once the engine is
  // gone.
  do {
    pump_.ProcessEventsOrWait();
  } while (imports::WavNowPlay() != SONDREL_NOW_NO_ENGINE);
  ShutWaveOutput();
}

}  // namespace calendo
