// A player process for the exit-path tests: it starts the window as the
// program does (scripted host, the recording stand-in libraries), then leaves
// by the path named on its command line. Everything it does up to the end of
// the process lands in the test journal.
//
// Usage: player_exit_scenario PATH LIBRARY_DIR CONVERSION_FILE
#include <QApplication>
#include <QTimer>
#include <cstring>

#include "event_pump.h"
#include "form1.h"
#include "journal.h"
#include "scripted_host.h"

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

  // A conversion is running: its file is what the exits that clean up delete.
  form.ConvActive = 1;
  form.ConvFileName = QString::fromLocal8Bit(argv[3]);
  // A handler queued behind the exit: it must never run.
  QTimer::singleShot(0, &form, [&] { form.RunHandler([] { JournalWrite("LateHandler"); }); });

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
