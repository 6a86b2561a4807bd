// A player process for the exit-path tests: it starts the window as the
// program does (scripted host, the recording stand-in libraries), then leaves
// by the path named on its command line. Everything it does up to the end of
// the process lands in the test journal.
//
// Usage: player_exit_scenario PATH LIBRARY_DIR CONVERSION_FILE
// PATH "exitx-while-playing" starts a stream on the wave output of LIBRARY_DIR
// (the real one) and then leaves by the Exit button.
#include <QApplication>
#include <QTimer>
#include <cstring>

#include <chrono>
#include <cstdint>

#include "journal.h"
#include "platform/memory.h"
#include "qt/event_pump.h"
#include "scripted_host.h"
#include "window/form1.h"

namespace {

using calendo::testing::JournalWrite;

// Records the window's hide, the first step of every exit.
class HideRecorder : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Hide) JournalWrite("Hide");
    return QObject::eventFilter(watched, event);
  }
};

// Starts a stream on the wave output: a header block announcing a long 11025 Hz
// 16-bit mono stream, then a few blocks of silence. Returns once it plays.
void StartStream(calendo::EventPump& pump) {
  using calendo::imports::WavAddPlayData;
  calendo::imports::WavCreate();
  auto put32 = [](uint8_t* at, uint32_t v) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(v >> (8 * i));
  };
  auto* header = static_cast<uint8_t*>(platform::block_alloc(10000));
  std::memcpy(header, "RIFF", 4);
  std::memcpy(header + 8, "WAVEfmt ", 8);
  put32(header + 16, 16);
  put32(header + 20, 1 | (1u << 16));   // PCM, one channel
  put32(header + 24, 11025);            // samples per second
  put32(header + 28, 22050);            // bytes per second
  put32(header + 32, 2 | (16u << 16));  // block align, bits per sample
  std::memcpy(header + 36, "data", 4);
  put32(header + 40, 100'000'000);
  void* block = header;
  WavAddPlayData(&block, 10000);
  for (int i = 0; i < 4; ++i) {
    block = platform::block_alloc(8000);
    WavAddPlayData(&block, 8000);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (calendo::imports::WavNowPlay() < 0 && std::chrono::steady_clock::now() < deadline) {
    pump.ProcessEventsOrWait();
  }
  JournalWrite(calendo::imports::WavNowPlay() >= 0 ? "Playing" : "NotPlaying");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  const char* path = argv[1];
  QApplication app(argc, argv);
  calendo::binding::SetLibraryDirectory(argv[2]);
  calendo::testing::ScriptedHost host;
  host.prev_instance = std::strcmp(path, "previous-instance") == 0;
  calendo::EventPump pump;
  calendo::Form1 form(host, pump);
  HideRecorder hide_recorder;
  form.installEventFilter(&hide_recorder);

  form.RunHandler([&] { form.Form_Load(); });
  form.show();
  pump.ProcessEvents();

  // A conversion is running: its temporary file is what the exits delete.
  form.ConvActive = 1;
  form.conversion_temp_files.emplace_back(argv[3]);
  // A handler queued behind the exit: it must never run.
  QTimer::singleShot(0, &form, [&] { form.RunHandler([] { JournalWrite("LateHandler"); }); });

  if (std::strcmp(path, "exitx-while-playing") == 0) {
    StartStream(pump);
    path = "exitx";
  }
  JournalWrite("Exit");
  if (std::strcmp(path, "unload") == 0) {
    int16_t cancel = 0;
    form.RunHandler([&] { form.Form_Unload(cancel); });
  } else if (std::strcmp(path, "close") == 0) {
    form.close();
  } else if (std::strcmp(path, "exitx") == 0) {
    form.EXITX->click();
  } else if (std::strcmp(path, "exit0") == 0) {
    form.EXIT0->trigger();
  } else if (std::strcmp(path, "runtime-error") == 0) {
    form.RunHandler([] { calendo::imports::SoundSet11k16bit(nullptr, 11, nullptr); });
  } else if (std::strcmp(path, "terminate") == 0) {
    form.RunHandler([&] { form.Form_Terminate(); });
    JournalWrite("Returned");
    return 3;
  }
  JournalWrite("NotEnded");
  return 4;
}
